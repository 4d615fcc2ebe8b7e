// Helpers of the trace tests: a fresh temporary folder, file reading, polling with a deadline.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace trace_test {

// A fresh folder under the temporary path, removed with its files at destruction.
class temp_dir {
public:
    temp_dir() {
        wchar_t base[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
        static LONG counter = 0;
        path_ = std::wstring(base, n) + L"cl_trace_test_" + std::to_wstring(::GetCurrentProcessId()) +
                L"_" + std::to_wstring(::GetTickCount()) + L"_" +
                std::to_wstring(::InterlockedIncrement(&counter));
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~temp_dir() {
        WIN32_FIND_DATAW fd;
        const HANDLE h = ::FindFirstFileW((path_ + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = fd.cFileName;
                if (name != L"." && name != L"..") ::DeleteFileW((path_ + L"\\" + name).c_str());
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    std::wstring file(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

inline bool file_exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The whole file, shared for reading and writing; empty when it cannot be opened.
inline std::string read_file(const std::wstring& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    ::CloseHandle(h);
    return out;
}

// Polls `condition` every 20 ms until it holds or `deadline_ms` have passed.
inline bool wait_until(const std::function<bool()>& condition, DWORD deadline_ms = 30000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start > deadline_ms) return false;
        ::Sleep(20);
    }
}

}  // namespace trace_test
