// Small text helpers shared by the configuration reader and the process check.
//
// Pure functions over UTF-16 text; stateless and thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace tolvarn {

// True when both texts have the same length and every pair of characters is equal after
// upper-casing in the C locale: ASCII letters match without regard to case, every other
// character (including letters beyond ASCII) must be identical.
bool equals_nocase(std::wstring_view a, std::wstring_view b);

// Reads a decimal number: leading ASCII white space is skipped, then an optional "-" or "+",
// then digits up to the first other character. The value is built in unsigned 32-bit
// arithmetic that wraps without a check and is negated after a "-". No digits give 0.
std::int32_t parse_int(std::wstring_view text);

}  // namespace tolvarn
