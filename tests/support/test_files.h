// Test support shared by the file-based tests: a fixture that gives every test a fresh folder
// under the system's temporary folder, and raw file access that bypasses the classes under test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace test_support {

// Fixture: every test works in its own new folder (name_prefix, process id, counter, ticks),
// removed with its files afterwards (read-only files included).
class folder_test : public ::testing::Test {
protected:
    explicit folder_test(const wchar_t* name_prefix = L"tolvarn_test_") : prefix_(name_prefix) {}

    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(n, 0u);
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            dir_ = std::wstring(temp, n) + prefix_ + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                   std::to_wstring(++counter) + L"_" + std::to_wstring(::GetTickCount()) + L"\\";
            if (::CreateDirectoryW(dir_.c_str(), nullptr)) return;
        }
        FAIL() << "no temporary folder";
    }
    void TearDown() override {
        for (const std::wstring& name : files()) {
            ::SetFileAttributesW((dir_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW((dir_ + name).c_str());
        }
        ::RemoveDirectoryW(dir_.c_str());
    }
    std::wstring path(const std::wstring& name) const { return dir_ + name; }

    // The names of the files in the folder.
    std::vector<std::wstring> files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((dir_ + L"*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
        return names;
    }

    std::wstring dir_;

private:
    std::wstring prefix_;
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

// The bytes of a file as they are on disk (readable while others hold it open and share writing);
// "<missing>" when it cannot be opened.
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

inline bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace test_support
