// check_address_list: bad input of any size answered promptly, and a differential against the
// literal pattern (address_reference.h), the only proof that the rewritten pattern accepts exactly
// what the literal one accepts.
#include "mail/address_list.h"

#include "support/support.h"
#include "tests/mail/address_reference.h"

#include <chrono>
#include <random>

namespace {

std::wstring repeat(const std::wstring& prefix, const std::wstring& unit, const std::wstring& suffix,
                    std::size_t length = 1000) {
    std::wstring value = prefix;
    while (value.size() + unit.size() + suffix.size() <= length) value += unit;
    return value + suffix;
}

// Values on which a backtracking pattern runs for seconds or gives up. The bound only tells linear
// work from exponential work (the benchmark has the real figures).
TEST(CheckAddressList, BadInputOfAnySizeIsAnsweredPromptly) {
    const std::pair<std::wstring, int> rows[] = {
        {std::wstring(80, L'a'), -1},
        {std::wstring(20000, L'a') + L"@", -1},
        {repeat(L"", L"\"a\" ", L"\"a\""), -1},
        {repeat(L"\"", L"\\\\\\\"", L""), -1},
        {repeat(L"", L"a,", L"@"), -1},
        {repeat(L"", L"a@b, ,c <d@e>, ", L"x@y"), 0},
        {repeat(L"G: ", L"a@b.c, x <y@z>, ", L"q@r;"), 0},
        {repeat(L"", L"g: <@a,@b:c@d>, <<a@b>", L";", 6000), -1},
        {std::wstring(L"a@b\0", 4), -1},
        {repeat(L"", L"Ops <o@e.c>, a.b@c.d, ", L"x@y", 400000), 9},  // 9: either answer, but one
    };
    for (const auto& row : rows) {
        const auto start = std::chrono::steady_clock::now();
        const int answer = check_address_list(row.first);
        EXPECT_TRUE(answer == row.second || (row.second == 9 && answer == -1)) << ts::utf8(row.first.substr(0, 40));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000 + row.first.size() / 100));
    }
}

TEST(CheckAddressList, AcceptsExactlyWhatTheLiteralPatternAccepts) {
    long compared = 0, mismatches = 0;
    const auto compare = [&](const std::wstring& value) {
        const int reference = address_reference::match(value);
        ASSERT_GE(reference, 0) << "the literal pattern gave up on " << ts::utf8(value);
        ++compared;
        if ((check_address_list(value) == 0) != (reference == 1) && ++mismatches <= 20)
            ADD_FAILURE() << "differs from the literal pattern: [" << ts::utf8(value) << "]";
    };
    // Every value of up to five characters over the pattern's special characters.
    const std::wstring small = L"a.,@\"\\ <>:;";
    for (std::size_t length = 0, total = 1; length <= 5; ++length, total *= small.size())
        for (std::size_t n = 0; n < total; ++n) {
            std::wstring value;
            for (std::size_t k = n, i = 0; i < length; ++i, k /= small.size()) value += small[k % small.size()];
            compare(value);
        }
    // Random strings of tokens, grammar-built lists with mutations, lists of pieces around commas.
    std::mt19937 random(20240611);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    static const wchar_t* const tokens[] = {
        L"a", L"b", L"x.y", L",", L", ", L" ,", L" ", L"\t", L".", L"@", L"@", L"\"", L"\\\"", L"\"q\"", L"\"a b\"",
        L"\\", L"<", L">", L":", L";", L"!#", L"-", L"\u00e9", L"\u00a0", L"\u3000", L"(", L"[", L"\"\"", L"a@b",
        L" <", L"> ", L"a.", L".a", L"@r:", L"\xD800", L"\r\n"};
    const std::size_t token_count = sizeof tokens / sizeof *tokens;
    for (int i = 0; i < 120000; ++i) {
        std::wstring value;
        for (std::size_t length = pick(15); value.size() < length;) value += tokens[pick(token_count)];
        compare(value.substr(0, 14));
    }
    const wchar_t* const atoms[] = {L"a", L"b", L".", L",", L"-", L"!", L"#", L"\u00e9"};
    const wchar_t* const spaces[] = {L"", L"", L"", L" ", L"  ", L"\t"};
    const auto space = [&] { return std::wstring(spaces[pick(6)]); };
    const auto atom = [&] { return std::wstring(atoms[pick(8)]) + (pick(2) ? atoms[pick(8)] : L""); };
    const auto word = [&] { return pick(3) ? atom() : std::wstring(pick(2) ? L"\"a\\\" ,<;\"" : L"\"\""); };
    const auto addr = [&] {
        return word() + (pick(3) ? L"" : L"." + word()) + L"@" + atom() + (pick(4) ? L"" : L".b");
    };
    const auto mailbox = [&] {
        if (pick(2)) return addr();
        const std::wstring name = word() + (pick(2) ? space() + word() : L"") + (pick(2) ? L" <" : L"\t<");
        return name + (pick(4) ? L"" : L"@" + atom() + space() + L":" + space()) + addr() + L">";
    };
    for (int generated = 0; generated < 6000;) {
        std::wstring value =
            pick(4) ? mailbox() : word() + space() + L":" + space() + mailbox() + L"," + mailbox() + L";";
        while (pick(2)) value += space() + L"," + space() + mailbox();
        if (value.size() > 20) continue;
        ++generated;
        compare(value);
        for (int m = 0; m < 8; ++m) {  // a unit deleted, inserted, or a piece repeated
            std::wstring mutated = value;
            const std::size_t at = pick(value.size()), how = pick(3);
            const wchar_t unit = L"ab.,@\"\\ <>:;\t!\u00e9-"[pick(16)];
            compare(how == 0 ? mutated.erase(at, 1) : how == 1 ? mutated.insert(at, 1, unit)
                                                               : mutated.insert(at, mutated.substr(at, pick(4))));
        }
    }
    static const wchar_t* const pieces[] = {L"a@b", L"a,b@c,d", L"a@b,", L",a@b", L"\"q\"@b", L"x <a@b>", L"x, y <a@b>",
        L"G:a@b;", L"G: a@b, c <d@e>;", L"a.\"q\"@b", L"\"a\\\"@b", L",@,", L"x <@r:a@b>", L"a@,,", L"a@b-c"};
    static const wchar_t* const separators[] = {L",", L", ", L" ,", L" , ", L",\t", L",,", L", ,", L" ,,", L""};
    for (int i = 0; i < 40000; ++i) {
        std::wstring value;
        for (std::size_t n = 1 + pick(4); n > 0; --n)
            value += (value.empty() ? L"" : separators[pick(9)]) + std::wstring(pieces[pick(15)]);
        compare(value);
    }
    EXPECT_EQ(0, mismatches);
    EXPECT_GT(compared, 390000);
}

}  // namespace
