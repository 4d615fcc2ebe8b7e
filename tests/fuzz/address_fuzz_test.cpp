// Bad input for the address check: adversarial address lists through check_address_list, the
// kind that sends a backtracking matcher into exponential time: long runs of atom characters
// without "@", many quoted strings and backslashes, commas and white space in every position,
// unbalanced "<" and ">", nested groups, NUL characters, lone surrogates, values of up to 20,000
// characters. Every answer is 0 or -1 and comes within a bound that grows with the length; short
// values (where the literal pattern is still usable) get the literal pattern's answer. Each case
// has its own seed, printed on failure; TOLVARN_FUZZ_SCALE multiplies the number of cases.
#include "fuzz_util.h"
#include "mail/address_list.h"
#include "tests/mail/address_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace {

const wchar_t* const pieces[] = {
    L"a", L"abc", L"x.y", L".", L"..", L"@", L"@@", L"\"", L"\\\"", L"\"q\"", L"\\", L" ", L"\t", L",", L", ",
    L" ,", L";", L":", L"<", L">", L"<a@b>", L"a@b", L"a@b.c", L"name ", L"\"name\" ", L"grp: ", L"@r:", L"-",
    L"!#$%&'*+/=?^_`{|}~", L"(", L")", L"[", L"]", L"\x00e9", L"\xD800", L"\xDC00", L"\x0000", L"\r\n", L"\x3000",
};

std::wstring adversarial(fuzz::rng& r) {
    std::wstring v;
    switch (r.below(6)) {
    case 0:  // a long run of atom characters, with or without an "@" at the very end
        v.assign(1 + r.below(20000), L'a');
        if (r.chance(50)) v += L"@";
        break;
    case 1:  // many quoted strings joined by dots, with backslashes, never closed or closed late
        for (std::size_t n = 1 + r.below(500); n > 0; --n) v += r.chance(50) ? L"\"a\\\"b\"." : L"\\\"\\\\";
        if (r.chance(50)) v += L"@x";
        break;
    case 2:  // display names that never get their address
        for (std::size_t n = 1 + r.below(2000); n > 0; --n) v += r.chance(70) ? L"word " : L"\"quoted word\" ";
        if (r.chance(50)) v += L"<a@b";
        break;
    case 3:  // comma-separated lists, long and broken at a random place
        for (std::size_t n = 1 + r.below(1000); n > 0; --n) v += r.chance(80) ? L"a@b.c, " : L"x,y@z,";
        if (r.chance(50)) v.erase(r.below(v.size()), 1);
        break;
    case 4:  // groups inside groups, routes, unbalanced brackets
        for (std::size_t n = 1 + r.below(300); n > 0; --n) v += r.chance(50) ? L"g: <@a,@b:c@d>, " : L"<<a@b>";
        if (r.chance(50)) v += L";";
        break;
    default:  // random pieces
        for (std::size_t n = r.below(r.chance(10) ? 3000 : 30); n > 0; --n) v += pieces[r.below(sizeof pieces / sizeof *pieces)];
        break;
    }
    return v;
}

std::wstring short_value(fuzz::rng& r) {
    std::wstring v;
    for (std::size_t n = r.below(9); n > 0; --n) v += pieces[r.below(sizeof pieces / sizeof *pieces)];
    return v.size() > 16 ? v.substr(0, 16) : v;
}

TEST(address_fuzz, adversarial_lists_are_answered_within_their_bound) {
    const int total = fuzz::cases(400);
    double worst_per_kchar = 0;
    for (int i = 0; i < total; ++i) {
        const std::uint64_t seed = 0xADD5u * 7919u + static_cast<std::uint64_t>(i);
        fuzz::rng r(seed);
        const std::wstring value = adversarial(r);
        SCOPED_TRACE(fuzz::seed_text(seed) + ", " + std::to_string(value.size()) + " characters");
        const auto start = std::chrono::steady_clock::now();
        const int answer = check_address_list(value);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(answer == 0 || answer == -1) << answer;
        // Linear work: generous on a loaded machine, far below any exponential blow-up.
        ASSERT_LE(seconds, 2.0 + value.size() / 1000.0) << "took " << seconds << " s";
        worst_per_kchar = std::max(worst_per_kchar, seconds * 1000.0 / (value.size() + 1));
    }
    RecordProperty("worst_ms_per_1000_chars", static_cast<int>(worst_per_kchar * 1000));
}

TEST(address_fuzz, short_adversarial_values_get_the_literal_patterns_answer) {
    const int total = fuzz::cases(1000);
    int compared = 0;
    for (int i = 0; i < total; ++i) {
        const std::uint64_t seed = 0x5407u * 104729u + static_cast<std::uint64_t>(i);
        fuzz::rng r(seed);
        const std::wstring value = short_value(r);
        const int reference = address_reference::match(value);
        if (reference < 0) continue;  // the literal pattern gave up
        ++compared;
        SCOPED_TRACE(fuzz::seed_text(seed));
        ASSERT_EQ(check_address_list(value) == 0, reference == 1) << "value of " << value.size() << " characters";
    }
    EXPECT_GT(compared, total / 2);
}

}  // namespace
