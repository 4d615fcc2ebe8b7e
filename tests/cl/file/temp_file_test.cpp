#include "cl/file/temp_file.h"

#include "cl/file/file_hnd.h"
#include "cl/file/uni_file.h"

#include "file_test_util.h"

#include <cstdint>

namespace {

using file_test::folder_test;

class temp_file_test : public folder_test {};

// The generator state behind a name, and the name that follows it.
struct lcg_state {
    uint64_t x1, x2;
};

bool parse_name(const std::wstring& name, const std::wstring& prefix, lcg_state& state) {
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() < prefix.size() + 5) return false;
    if (name.compare(name.size() - 4, 4, L".tmp") != 0) return false;
    uint64_t n = 0;
    for (size_t i = prefix.size(); i < name.size() - 4; ++i) {
        const wchar_t c = name[i];
        if (c >= L'0' && c <= L'9') n = n * 36 + (c - L'0');
        else if (c >= L'a' && c <= L'z') n = n * 36 + (c - L'a' + 10);
        else return false;
    }
    state = {n / 312500, n % 312500};
    return state.x1 < 714025;
}

std::wstring next_name(lcg_state& s, const std::wstring& prefix) {
    s.x1 = (s.x1 * 4096 + 150889) % 714025;
    s.x2 = (s.x2 * 741 + 66037) % 312500;
    uint64_t n = s.x1 * 312500 + s.x2;
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
        n /= 36;
    } while (n);
    return prefix + digits + L".tmp";
}

TEST_F(temp_file_test, names_follow_the_two_generators) {
    const std::wstring prefix = path(L"pre_");
    lcg_state s;
    const std::wstring first = cl::make_temp_name(prefix);
    ASSERT_TRUE(parse_name(first, prefix, s)) << std::string(first.begin(), first.end());
    for (int i = 0; i < 50; ++i) {
        const std::wstring expected = next_name(s, prefix);
        EXPECT_EQ(cl::make_temp_name(prefix), expected);
    }
    EXPECT_NE(cl::make_temp_name(L""), cl::make_temp_name(L""));
}

TEST_F(temp_file_test, created_file_is_unshared_and_vanishes_on_close) {
    const std::wstring prefix = path(L"t");
    std::wstring name;
    {
        cl::file_hnd f;
        ASSERT_TRUE(cl::create_temp_file(f, prefix, cl::o_rdwr, &name));
        EXPECT_EQ(name.compare(0, prefix.size(), prefix), 0);
        EXPECT_TRUE(file_test::exists(name));
        EXPECT_EQ(f.write("abc", 3), 3);
        cl::file_hnd other;
        EXPECT_FALSE(other.open(name, cl::o_rdonly, cl::sh_denyno));
        EXPECT_EQ(other.last_error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_FALSE(file_test::exists(name));
}

TEST_F(temp_file_test, existing_names_are_skipped) {
    const std::wstring prefix = path(L"x");
    lcg_state s;
    ASSERT_TRUE(parse_name(cl::make_temp_name(prefix), prefix, s));
    const std::wstring taken1 = next_name(s, prefix);
    const std::wstring taken2 = next_name(s, prefix);
    const std::wstring free_name = next_name(s, prefix);
    file_test::write_file(taken1, "1");
    file_test::write_file(taken2, "2");
    cl::file_hnd f;
    std::wstring name;
    ASSERT_TRUE(cl::create_temp_file(f, prefix, cl::o_rdwr, &name));
    EXPECT_EQ(name, free_name);
    EXPECT_EQ(file_test::read_file(taken1), "1");
}

TEST_F(temp_file_test, other_errors_end_at_once) {
    const std::wstring prefix = path(L"missing\\x");
    lcg_state s;
    ASSERT_TRUE(parse_name(cl::make_temp_name(prefix), prefix, s));
    cl::file_hnd f;
    std::wstring name = L"untouched";
    EXPECT_FALSE(cl::create_temp_file(f, prefix, cl::o_rdwr, &name));
    EXPECT_EQ(f.last_error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(name, L"untouched");
    // Exactly one name was used.
    next_name(s, prefix);
    EXPECT_EQ(cl::make_temp_name(prefix), next_name(s, prefix));
}

TEST_F(temp_file_test, derived_open_applies) {
    cl::uni_file f;
    ASSERT_TRUE(cl::create_temp_file(f, path(L"u"), cl::o_rdwr));
    EXPECT_EQ(f.get_encoding(), cl::uni_file::utf16le);
    EXPECT_EQ(f.bom_size(), 2);
    EXPECT_EQ(f.size(), 0);
}

}  // namespace
