#include "core/command_line.h"

#include <gtest/gtest.h>

#include <string>

using namespace tolvarn;

namespace {

constexpr std::size_t none = std::wstring::npos;

TEST(find_option, whole_word_rules) {
    struct row {
        const wchar_t* text;
        const wchar_t* option;
        std::size_t expected;
    };
    const row rows[] = {
        {L"-stop_appl", L"-stop_appl", 0},
        {L"-STOP_APPL", L"-stop_appl", 0},
        {L"-Stop_Appl", L"-stop_appl", 0},
        {L"x-stop_appl", L"-stop_appl", none},
        {L"-stop_applx", L"-stop_appl", none},
        {L"-stop_applX", L"-stop_appl", none},
        {L"-stop_appl2", L"-stop_appl", 0},
        {L"-stop_appl_", L"-stop_appl", 0},
        {L"-stop_appl.", L"-stop_appl", 0},
        {L"-stop_appl -x", L"-stop_appl", 0},
        {L"a -stop_appl", L"-stop_appl", 2},
        {L"a\t-stop_appl", L"-stop_appl", 2},
        {L"a\r\n-stop_appl", L"-stop_appl", 3},
        {L"\"-stop_appl\"", L"-stop_appl", none},     // a quote is not white space
        {L"-stop_applx -stop_appl", L"-stop_appl", 12},  // the search goes on
        {L"-stop_appl\u00e9", L"-stop_appl", 0},         // code 128 and above ends the word
        {L"-stop_appl\u0130", L"-stop_appl", 0},
        {L"a\u00a0-stop_appl", L"-stop_appl", none},     // only ASCII white space starts one
        {L"-stop_app", L"-stop_appl", none},
        {L"", L"-stop_appl", none},
        {L"-stop_appl", L"", none},
        {L"\u00e9", L"\u00c9", none},  // letters beyond ASCII must be equal
        {L"\u00e9", L"\u00e9", 0},
    };
    for (const row& r : rows) {
        EXPECT_EQ(find_option(r.text, r.option), r.expected) << "text: " << testing::PrintToString(std::wstring(r.text));
    }
    EXPECT_EQ(find_option(nullptr, L"-stop_appl"), none);
}

TEST(find_option, both_service_options_on_one_line) {
    const wchar_t* line = L"-stop_service -start_service";
    // The entry looks for -start_service first; both are found where they stand.
    EXPECT_EQ(find_option(line, L"-start_service"), 14u);
    EXPECT_EQ(find_option(line, L"-stop_service"), 0u);
}

TEST(skip_program_name, table) {
    struct row {
        const wchar_t* line;
        const wchar_t* rest;
    };
    const row rows[] = {
        {L"prog.exe -stop_appl", L"-stop_appl"},
        {L"prog.exe\t-x", L"-x"},
        {L"prog.exe  -x", L" -x"},  // only the one separating character is skipped
        {L"prog.exe", L""},
        {L"", L""},
        {L"\"C:\\dir -stop_appl\\prog.exe\" -x", L"-x"},
        {L"\"C:\\a b\\prog.exe\"", L""},
        {L"\"C:\\a b\"\\prog.exe -x", L"-x"},
        {L"\"unterminated -x", L""},
        {L" -x", L"-x"},  // an empty program name
    };
    for (const row& r : rows) {
        const wchar_t* rest = skip_program_name(r.line);
        ASSERT_NE(rest, nullptr);
        EXPECT_EQ(std::wstring(rest), r.rest) << testing::PrintToString(std::wstring(r.line));
        // A pointer into the same buffer.
        EXPECT_GE(rest, r.line);
        EXPECT_LE(rest, r.line + std::wcslen(r.line));
    }
    EXPECT_EQ(skip_program_name(nullptr), nullptr);
}

TEST(skip_program_name, hides_options_in_the_program_path) {
    const wchar_t* line = L"\"C:\\x -stop_appl\\-start_service.exe\" -STOP_SERVICE";
    const wchar_t* rest = skip_program_name(line);
    EXPECT_EQ(find_option(rest, L"-stop_appl"), none);
    EXPECT_EQ(find_option(rest, L"-start_service"), none);
    EXPECT_EQ(find_option(rest, L"-stop_service"), 0u);
    EXPECT_EQ(find_option(skip_program_name(nullptr), L"-stop_appl"), none);
}

}  // namespace
