// Small helpers shared by the benchmark programs: a high-resolution clock, medians, a fresh
// temporary folder and whole-file reads. Header-only; every benchmark is one thread of its own.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Seconds from an arbitrary origin, from the performance counter.
inline double now_seconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// The folder of the running program, with a trailing backslash.
inline std::wstring program_dir() {
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(n);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// A new, empty folder under the temporary path, with a trailing backslash; empty on failure.
inline std::wstring make_temp_dir(const wchar_t* tag) {
    wchar_t base[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
    for (unsigned i = 0; i < 1000; ++i) {
        const std::wstring dir = std::wstring(base, n) + L"tolvarn_bench_" + tag + L"_" +
                                 std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(i) + L"\\";
        if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::wstring();
}

// Removes the files of `dir` (one level) and the folder itself.
inline void remove_dir(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((dir + data.cFileName).c_str());
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(dir.c_str());
}

// The whole file (shared for reading and writing); empty when it cannot be opened.
inline std::string read_file(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string content;
    LARGE_INTEGER size;
    if (::GetFileSizeEx(h, &size)) content.reserve(static_cast<std::size_t>(size.QuadPart));
    std::vector<char> block(1 << 20);
    DWORD got = 0;
    while (::ReadFile(h, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0)
        content.append(block.data(), got);
    ::CloseHandle(h);
    return content;
}

inline bool write_file(const std::wstring& path, const std::string& content) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == content.size();
}

inline std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace bench
