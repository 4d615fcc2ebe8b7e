// Test support for the file classes: a fresh temporary folder per test and raw file access that
// bypasses the classes under test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace file_test {

// Fixture: every test works in its own new folder under the system's temporary folder, removed
// with its files afterwards.
class folder_test : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(n, 0u);
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            dir_ = std::wstring(temp, n) + L"cl_file_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                   std::to_wstring(++counter) + L"_" + std::to_wstring(::GetTickCount()) + L"\\";
            if (::CreateDirectoryW(dir_.c_str(), nullptr)) return;
        }
        FAIL() << "no temporary folder";
    }
    void TearDown() override {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((dir_ + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") ::DeleteFileW((dir_ + name).c_str());
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(dir_.c_str());
    }
    std::wstring path(const std::wstring& name) const { return dir_ + name; }

    std::wstring dir_;
};

// Creates or replaces a file with exactly these bytes.
inline void write_file(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    if (!bytes.empty()) ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(h);
    ASSERT_EQ(done, bytes.size());
}

// The bytes of a file as they are on disk (readable while others hold it open and share writing).
inline std::string read_file(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (::ReadFile(h, block, sizeof(block), &got, nullptr) && got > 0) bytes.append(block, got);
    ::CloseHandle(h);
    return bytes;
}

// One byte as the thread's ANSI code page reads it.
inline std::wstring widen_byte(char byte) {
    wchar_t out[4];
    const int n = ::MultiByteToWideChar(CP_THREAD_ACP, MB_PRECOMPOSED, &byte, 1, out, 4);
    return std::wstring(out, n > 0 ? n : 0);
}

inline bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace file_test
