#include "core/text_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace tolvarn;

namespace {

TEST(parse_int, table) {
    struct row {
        const wchar_t* text;
        std::int32_t expected;
    };
    const row rows[] = {
        {L"30", 30},
        {L"30s", 30},
        {L"abc", 0},
        {L"", 0},
        {L"  +7", 7},
        {L"\t\r\n\v\f 12", 12},
        {L"-1", -1},
        {L"-0", 0},
        {L"+", 0},
        {L"-", 0},
        {L"--5", 0},
        {L"+-5", 0},
        {L"- 5", 0},
        {L"1 2", 1},
        {L"007", 7},
        {L"2147483647", 2147483647},
        {L"2147483648", INT32_MIN},  // wraps through unsigned arithmetic
        {L"4294967295", -1},
        {L"4294967296", 0},
        {L"4294967297", 1},
        {L"-4294967297", -1},
        {L"\u00a07", 0},   // no-break space is not ASCII white space
        {L"\u30007", 0},   // nor is the ideographic space
        {L"\uff17", 0},    // a full-width digit is not a digit
    };
    for (const row& r : rows) {
        EXPECT_EQ(parse_int(r.text), r.expected) << testing::PrintToString(std::wstring(r.text));
    }
    // Stored in an unsigned field, -1 reads as 0xFFFFFFFF.
    EXPECT_EQ(static_cast<std::uint32_t>(parse_int(L"-1")), 0xFFFFFFFFu);
}

TEST(parse_int, stops_at_embedded_zero_only_by_length) {
    EXPECT_EQ(parse_int(std::wstring_view(L"12\0" L"3", 4)), 12);
}

TEST(equals_nocase, table) {
    struct row {
        const wchar_t* a;
        const wchar_t* b;
        bool expected;
    };
    const row rows[] = {
        {L"notepad.exe", L"NOTEPAD.EXE", true},
        {L"Tolvarn", L"tOLVARN", true},
        {L"", L"", true},
        {L"a", L"", false},
        {L"abc", L"abcd", false},
        {L"abc.exe", L"abc", false},
        {L"\u00e9", L"\u00c9", false},  // é and É: only ASCII folds
        {L"\u00e9", L"\u00e9", true},
        {L"stra\u00dfe", L"STRASSE", false},
        {L"@", L"`", false},    // neighbours of the letter ranges do not fold
        {L"[", L"{", false},
        {L"_", L"\u007f", false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(equals_nocase(r.a, r.b), r.expected)
            << testing::PrintToString(std::wstring(r.a)) << " vs " << testing::PrintToString(std::wstring(r.b));
        EXPECT_EQ(equals_nocase(r.b, r.a), r.expected);
    }
}

}  // namespace
