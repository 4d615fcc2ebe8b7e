// Test helper: the system's own message for a code, asked of FormatMessageW directly, so tests
// compare with whatever texts the running system has instead of hard-coding them.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace errtext_test {

// The trimmed message of `code` in `language`; false when the system has none.
inline bool format_message(unsigned code, LANGID language, std::wstring& out) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return false;
    out.assign(buffer, length);
    ::LocalFree(buffer);
    while (!out.empty() && wcschr(L" \t\r\n\v\f", out.back()) != nullptr) out.pop_back();
    return true;
}

// The first English message of `code` among the six English languages, if any.
inline bool english_message(unsigned code, std::wstring& out) {
    const LANGID english[] = {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809};
    for (LANGID language : english) {
        if (format_message(code, language, out)) return true;
    }
    return false;
}

// True when no language at all (including the default search order) has a message for `code`.
inline bool no_system_message(unsigned code) {
    const LANGID languages[] = {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809,
                                0x0407, 0x0807, 0x0C07, 0};
    std::wstring ignored;
    for (LANGID language : languages) {
        if (format_message(code, language, ignored)) return false;
    }
    return true;
}

}  // namespace errtext_test
