#include "core/command_line.h"

#include "core/text_util.h"

#include <cwctype>

namespace tolvarn {

namespace {

bool is_ascii_letter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// True when `option` (null-terminated) is a prefix of `at`, ASCII letters folded; on a match
// `end` points behind the matched text.
bool matches_at(const wchar_t* at, const wchar_t* option, const wchar_t*& end) {
    for (; *option != L'\0'; ++option, ++at) {
        if (*at == L'\0' || ascii_upper(*at) != ascii_upper(*option)) return false;
    }
    end = at;
    return true;
}

}  // namespace

const wchar_t* skip_program_name(const wchar_t* command_line) {
    if (command_line == nullptr) return nullptr;
    bool quoted = false;
    const wchar_t* p = command_line;
    for (; *p != L'\0'; ++p) {
        if (*p == L'"') {
            quoted = !quoted;
        } else if (!quoted && std::iswspace(static_cast<std::wint_t>(*p))) {
            return p + 1;
        }
    }
    return p;
}

std::size_t find_option(const wchar_t* text, const wchar_t* option) {
    if (text == nullptr || option == nullptr || *option == L'\0') return std::wstring::npos;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (p != text && !is_ascii_space(p[-1])) continue;
        const wchar_t* end = nullptr;
        if (!matches_at(p, option, end)) continue;
        // Any character from 128 up, and any ASCII character but a letter, ends the word.
        if (*end == L'\0' || static_cast<unsigned>(*end) >= 128u || !is_ascii_letter(*end)) {
            return static_cast<std::size_t>(p - text);
        }
    }
    return std::wstring::npos;
}

command choose_command(const wchar_t* arguments) {
    if (find_option(arguments, L"-stop_appl") != std::wstring::npos) return command::stop_appl;
    if (find_option(arguments, L"-start_service") != std::wstring::npos) return command::start_service;
    if (find_option(arguments, L"-stop_service") != std::wstring::npos) return command::stop_service;
    return command::run;
}

}  // namespace tolvarn
