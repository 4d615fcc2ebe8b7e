#include "core/module_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace tolvarn;

namespace {

// A stand-in for GetModuleFileNameW holding `path`: copies what fits and returns the buffer
// size when the path was cut, terminated (Vista and later) or not (XP). Records each size asked.
struct fake_reader {
    std::wstring path;
    bool terminates = true;
    std::vector<unsigned long> sizes;

    unsigned long operator()(wchar_t* buffer, unsigned long size) {
        sizes.push_back(size);
        if (path.size() < size) {
            std::copy(path.begin(), path.end(), buffer);
            buffer[path.size()] = L'\0';
            return static_cast<unsigned long>(path.size());
        }
        unsigned long copied = terminates ? size - 1 : size;
        std::copy(path.begin(), path.begin() + copied, buffer);
        if (terminates) buffer[copied] = L'\0';
        return size;
    }
};

std::wstring long_path(std::size_t length) {
    std::wstring path = L"C:\\";
    while (path.size() < length) path += L"d\\";
    path.resize(length - 1);
    return path + L"x";
}

TEST(module_directory, is_the_directory_of_this_program) {
    std::wstring path = module_file_name();
    ASSERT_FALSE(path.empty());
    std::wstring dir = module_directory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), L'\\');
    ASSERT_LT(dir.size(), path.size());
    EXPECT_EQ(path.compare(0, dir.size(), dir), 0);
    EXPECT_EQ(path.find(L'\\', dir.size()), std::wstring::npos);
    DWORD attributes = ::GetFileAttributesW(dir.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    // The same path that a large buffer gives.
    std::vector<wchar_t> big(32768);
    DWORD length = ::GetModuleFileNameW(nullptr, big.data(), static_cast<DWORD>(big.size()));
    EXPECT_EQ(path, std::wstring(big.data(), length));
}

TEST(read_module_path, grows_until_the_path_fits) {
    struct row {
        std::size_t length;
        std::vector<unsigned long> sizes;
    };
    const row rows[] = {
        {1, {260}},
        {259, {260}},
        {260, {260, 520}},  // a full buffer counts as too small, terminated or not
        {261, {260, 520}},
        {600, {260, 520, 1040}},
        {32767, {260, 520, 1040, 2080, 4160, 8320, 16640, 33280}},
    };
    for (bool terminates : {true, false}) {
        for (const row& r : rows) {
            fake_reader fake{long_path(r.length), terminates, {}};
            std::wstring got = read_module_path(std::ref(fake));
            EXPECT_EQ(got, fake.path) << r.length << (terminates ? " terminated" : " unterminated");
            EXPECT_EQ(fake.sizes, r.sizes) << r.length;
        }
    }
}

TEST(read_module_path, failure_gives_empty) {
    int calls = 0;
    EXPECT_EQ(read_module_path([&](wchar_t*, unsigned long) -> unsigned long { ++calls; return 0; }),
              L"");
    EXPECT_EQ(calls, 1);
    // A reader that never fits ends at the largest buffer instead of looping forever.
    calls = 0;
    EXPECT_EQ(read_module_path([&](wchar_t*, unsigned long size) { ++calls; return size; }), L"");
    EXPECT_EQ(calls, 8);
    // A length beyond the buffer is not believed.
    EXPECT_EQ(read_module_path([](wchar_t*, unsigned long size) { return size + 1; }), L"");
}

TEST(directory_part, table) {
    struct row {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const row rows[] = {
        {L"C:\\dir\\prog.exe", L"C:\\dir\\"},
        {L"C:\\prog.exe", L"C:\\"},
        {L"C:prog.exe", L"C:\\"},
        {L"\\\\server\\share\\prog.exe", L"\\\\server\\share\\"},
        {L"\\\\?\\C:\\long\\prog.exe", L"\\\\?\\C:\\long\\"},
        {L"C:\\dir\\", L"C:\\dir\\"},
        {L"prog.exe", L""},
        {L"", L""},
    };
    for (const row& r : rows) {
        EXPECT_EQ(directory_part(r.path), r.expected) << testing::PrintToString(std::wstring(r.path));
    }
}

}  // namespace
