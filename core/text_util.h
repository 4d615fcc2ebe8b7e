// Small text helpers shared by the command line, the configuration reader and the process check.
//
// Pure functions over UTF-16 text; stateless and thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace tolvarn {

// The C locale's toupper: only 'a'..'z' change. Written out rather than calling towupper, which
// folds letters beyond ASCII in some runtimes.
inline wchar_t ascii_upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }
// Space, tab, line feed, vertical tab, form feed and carriage return.
inline bool is_ascii_space(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// True when both texts have the same length and every pair of characters is equal after
// upper-casing in the C locale: ASCII letters match without regard to case, every other
// character (including letters beyond ASCII) must be identical.
bool equals_nocase(std::wstring_view a, std::wstring_view b);

// Reads a decimal number: leading ASCII white space is skipped, then an optional "-" or "+",
// then digits up to the first other character. The value is built in unsigned 32-bit
// arithmetic that wraps without a check and is negated after a "-". No digits give 0.
std::int32_t parse_int(std::wstring_view text);

}  // namespace tolvarn
