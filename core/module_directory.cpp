#include "core/module_directory.h"

#include <windows.h>

#include <vector>

namespace tolvarn {

namespace {

// No Windows path is longer than 32767 characters, so doubling from 260 stops at 33280; a
// buffer that size that still reads as too small means something is wrong: a failure.
constexpr DWORD max_buffer = 65536;

}  // namespace

std::wstring module_file_name() {
    return read_module_path([](wchar_t* buffer, unsigned long size) -> unsigned long {
        return ::GetModuleFileNameW(nullptr, buffer, size);
    });
}

std::wstring read_module_path(const std::function<unsigned long(wchar_t*, unsigned long)>& read) {
    for (DWORD size = MAX_PATH; size <= max_buffer; size *= 2) {
        std::vector<wchar_t> buffer(size);
        DWORD length = read(buffer.data(), size);
        if (length == 0 || length > size) return std::wstring();
        // A result that fills the whole buffer was cut (and, on XP, left unterminated):
        // try again with twice the room. Only the returned length is trusted.
        if (length < size) return std::wstring(buffer.data(), length);
    }
    return std::wstring();
}

std::wstring module_directory() {
    return directory_part(module_file_name());
}

std::wstring directory_part(const std::wstring& path) {
    std::wstring::size_type cut = path.find_last_of(L"\\:");
    if (cut == std::wstring::npos) return std::wstring();
    std::wstring directory = path.substr(0, cut + 1);
    if (directory.back() != L'\\') directory += L'\\';
    return directory;
}

}  // namespace tolvarn
