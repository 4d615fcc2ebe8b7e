// is_file_writable and quote_service_path: the two helpers of the installer that need no service.
#include "cl/service/install_service.h"
#include "service_test_util.h"

#include <gtest/gtest.h>

namespace {

using service_test::temp_dir;

void make_file(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, "MZ", 2, &written, nullptr);
    ::CloseHandle(h);
}

TEST(is_file_writable, missing_null_and_directory_are_not_writable) {
    temp_dir dir;
    EXPECT_FALSE(cl::is_file_writable(nullptr));
    EXPECT_FALSE(cl::is_file_writable(L""));
    EXPECT_FALSE(cl::is_file_writable(dir.file(L"missing.exe").c_str()));
    EXPECT_FALSE(cl::is_file_writable(dir.file(L"no_folder\\missing.exe").c_str()));
    EXPECT_FALSE(cl::is_file_writable(dir.path().c_str()));
    const std::wstring without_slash = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_FALSE(cl::is_file_writable(without_slash.c_str()));
}

TEST(is_file_writable, normal_file_is_writable_and_left_unchanged) {
    temp_dir dir;
    const std::wstring file = dir.file(L"prog.exe");
    make_file(file);
    EXPECT_TRUE(cl::is_file_writable(file.c_str()));
    EXPECT_EQ(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    // The test opened for writing only: nothing was truncated.
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 2u);
}

TEST(is_file_writable, read_only_file_counts_as_writable_and_keeps_its_attributes) {
    temp_dir dir;
    const std::wstring file = dir.file(L"prog.exe");
    make_file(file);
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), attributes));
    EXPECT_TRUE(cl::is_file_writable(file.c_str()));
    EXPECT_EQ(::GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), attributes);
}

// A running program's file is held open without write sharing; so is a file locked like this.
TEST(is_file_writable, file_open_without_write_sharing_is_not_writable) {
    temp_dir dir;
    const std::wstring file = dir.file(L"prog.exe");
    make_file(file);
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_DELETE)}) {
        HANDLE lock = ::CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(cl::is_file_writable(file.c_str())) << "share " << share;
        ::CloseHandle(lock);
        EXPECT_TRUE(cl::is_file_writable(file.c_str())) << "share " << share;
    }
}

TEST(is_file_writable, locked_read_only_file_is_not_writable_and_keeps_read_only) {
    temp_dir dir;
    const std::wstring file = dir.file(L"prog.exe");
    make_file(file);
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE lock = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(cl::is_file_writable(file.c_str()));
    ::CloseHandle(lock);
    EXPECT_NE(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(quote_service_path, quotes_only_unquoted_paths_with_white_space) {
    struct row {
        const wchar_t* in;
        const wchar_t* out;
    };
    const row rows[] = {
        {L"", L""},
        {L"C:\\tools\\tolvarn.exe", L"C:\\tools\\tolvarn.exe"},
        {L"C:\\Program Files\\Tolvarn\\tolvarn.exe", L"\"C:\\Program Files\\Tolvarn\\tolvarn.exe\""},
        {L"C:\\a\tb\\tolvarn.exe", L"\"C:\\a\tb\\tolvarn.exe\""},
        {L"\"C:\\Program Files\\Tolvarn\\tolvarn.exe\"", L"\"C:\\Program Files\\Tolvarn\\tolvarn.exe\""},
        {L"\"C:\\tools\\tolvarn.exe\"", L"\"C:\\tools\\tolvarn.exe\""},
        {L" ", L"\" \""},
    };
    for (const row& r : rows) EXPECT_EQ(cl::quote_service_path(r.in), r.out) << "input [" << r.in << "]";
    EXPECT_EQ(cl::quote_service_path(nullptr), L"");
}

}  // namespace
