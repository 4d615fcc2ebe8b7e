// The line rules of the INI format, shared by cl::ini_file (which streams a file) and
// cl::ini_cache (which keeps one parse of it), so that both answer alike: white space, comments,
// headers, key-value pairs, and the trimmed, ASCII-folded form in which section and key arguments
// are compared. Internal to cl/ini.
#pragma once

#include <string>

namespace cl {
namespace ini_syntax {

// White space as the C locale has it, below 128 only: space, TAB, LF, VT, FF, CR.
inline bool is_space(wchar_t ch) { return ch == L' ' || (ch >= L'\t' && ch <= L'\r'); }

inline void strip_leading(std::wstring& text) {
    std::size_t n = 0;
    while (n < text.size() && is_space(text[n])) ++n;
    if (n > 0) text.erase(0, n);
}

inline std::wstring trim(const std::wstring& text, std::size_t begin = 0, std::size_t end = std::wstring::npos) {
    if (end > text.size()) end = text.size();
    while (begin < end && is_space(text[begin])) ++begin;
    while (end > begin && is_space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

inline wchar_t fold(wchar_t ch) { return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch; }

// A section or key argument as every comparison takes it: trimmed, ASCII capitals lowered.
inline std::wstring argument(const std::wstring& text) {
    std::wstring out = trim(text);
    for (wchar_t& ch : out) ch = fold(ch);
    return out;
}

// `text` against an argument already lowered, ignoring ASCII case.
inline bool equals_argument(const std::wstring& text, const std::wstring& folded) {
    if (text.size() != folded.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (fold(text[i]) != folded[i]) return false;
    return true;
}

inline bool is_header(const std::wstring& line) { return !line.empty() && line[0] == L'['; }
inline bool is_comment(const std::wstring& line) { return !line.empty() && line[0] == L';'; }

// The name of a header line (it starts with "["): up to the first "]" or the end, trimmed.
inline std::wstring header_name(const std::wstring& line) { return trim(line, 1, line.find(L']', 1)); }

// equals_argument(header_name(line), folded) without building the name: every lookup compares
// every header of the file.
inline bool header_matches(const std::wstring& line, const std::wstring& folded) {
    std::size_t end = line.find(L']', 1);
    if (end > line.size()) end = line.size();
    std::size_t begin = 1;
    while (begin < end && is_space(line[begin])) ++begin;
    while (end > begin && is_space(line[end - 1])) --end;
    if (end - begin != folded.size()) return false;
    for (std::size_t i = 0; i < folded.size(); ++i)
        if (fold(line[begin + i]) != folded[i]) return false;
    return true;
}

inline void spaces_for_white_space(std::wstring& text) {
    for (wchar_t& ch : text)
        if (is_space(ch)) ch = L' ';
}

// A line of a section whose key part matches the lowered key.
inline bool has_key(const std::wstring& line, const std::wstring& folded_key) {
    if (is_comment(line)) return false;
    const std::size_t eq = line.find(L'=');
    return eq != std::wstring::npos && equals_argument(trim(line, 0, eq), folded_key);
}

// The value of a line that has_key accepted: after the first "=", white space as spaces, trimmed.
inline std::wstring value_of(const std::wstring& line) {
    std::wstring value = line.substr(line.find(L'=') + 1);
    spaces_for_white_space(value);
    return trim(value);
}

// key "=" value with both parts trimmed and white space below 128 as spaces; false for a comment,
// a line without "=" or an empty key.
inline bool normalise_pair(const std::wstring& line, std::wstring& out) {
    if (is_comment(line)) return false;
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) return false;
    std::wstring key = trim(line, 0, eq);
    if (key.empty()) return false;
    std::wstring value = trim(line, eq + 1);
    spaces_for_white_space(key);
    spaces_for_white_space(value);
    out = key + L'=' + value;
    return true;
}

// A line of a section as read_section returns it under `flags` (comments 0x1, other lines 0x2);
// false when the flags leave it out. `line` has no leading white space and is not a header.
inline bool section_line(const std::wstring& line, unsigned flags, std::wstring& out) {
    if (is_comment(line)) {
        if (!(flags & 0x1)) return false;
        out = line;
        return true;
    }
    if (normalise_pair(line, out)) return true;
    if (!(flags & 0x2)) return false;
    out = trim(line);
    return true;
}

}  // namespace ini_syntax
}  // namespace cl
