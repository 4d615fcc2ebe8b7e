// cl::error_text, cl::system_message, cl::error_number_text and cl::service_state_name.
// System texts differ between systems (and Wine has its own), so every expectation that involves
// one is taken from FormatMessageW asked directly.
#include "cl/errtext/error_text.h"

#include "system_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using errtext_test::english_message;
using errtext_test::format_message;
using errtext_test::no_system_message;

// A code that no message table knows: customer bit set, no facility.
constexpr unsigned unknown_code = 0x2000FFFFu;

TEST(ErrorText, EnglishSystemTextComesWithoutNumber) {
    for (unsigned code : {2u, 5u, 32u, 87u}) {
        SCOPED_TRACE(code);
        std::wstring expected;
        if (!english_message(code, expected)) GTEST_SKIP() << "no English system messages";
        EXPECT_EQ(expected, cl::error_text(code));
        EXPECT_EQ(expected, cl::error_text(code, cl::text_hresult));
        EXPECT_EQ(expected, cl::error_text(code, cl::text_winhttp));
    }
}

TEST(ErrorText, CodeWithoutAnyTextGivesErrorNumber) {
    ASSERT_TRUE(no_system_message(unknown_code));
    const std::wstring expected = L"Error " + std::to_wstring(unknown_code);
    EXPECT_EQ(expected, cl::error_number_text(unknown_code));
    EXPECT_EQ(expected, cl::error_text(unknown_code));
    EXPECT_EQ(expected, cl::error_text(unknown_code, cl::text_winhttp));
    EXPECT_EQ(expected, cl::error_text(unknown_code, 7));
    EXPECT_EQ(L"Error 0", cl::error_number_text(0));
    EXPECT_EQ(L"Error 4294967295", cl::error_number_text(0xFFFFFFFFu));
}

TEST(ErrorText, NeverEmptyAndTrimmed) {
    const unsigned codes[] = {0, 1, 5, 259, 599, 600, 678, 806, 869, 1234, 12002, 12104,
                              0x80004005u, 0x80070020u, unknown_code, 0xE0000235u, 0xFFFFFFFFu};
    for (unsigned mode : {cl::text_win32, cl::text_hresult, cl::text_winhttp, 3u}) {
        for (unsigned code : codes) {
            SCOPED_TRACE(testing::Message() << "code " << code << " mode " << mode);
            const std::wstring text = cl::error_text(code, mode);
            ASSERT_FALSE(text.empty());
            EXPECT_EQ(std::wstring::npos, std::wstring(L" \t\r\n\v\f").find(text.back()));
        }
    }
}

TEST(ErrorText, LastErrorIsKept) {
    for (unsigned mode : {cl::text_win32, cl::text_hresult, cl::text_winhttp}) {
        for (unsigned code : {5u, 678u, unknown_code, 0x80070020u, 12104u}) {
            ::SetLastError(12345);
            cl::error_text(code, mode);
            EXPECT_EQ(12345u, ::GetLastError()) << "code " << code << " mode " << mode;
        }
    }
}

TEST(ErrorText, RasCodesUseTheOwnTableUnlessTheSystemHasEnglishText) {
    for (unsigned code : {600u, 678u, 721u, 805u}) {
        SCOPED_TRACE(code);
        std::wstring expected;
        if (!english_message(code, expected)) expected = cl::ras_error_text(code);
        EXPECT_EQ(expected, cl::error_text(code));
    }
    std::wstring system;
    if (!english_message(678, system) && !english_message(721, system)) {
        EXPECT_EQ(cl::error_text(678), cl::error_text(721));
    }
}

TEST(ErrorText, WinHttpCodesNeedTheirMode) {
    for (unsigned code : {12002u, 12104u}) {
        SCOPED_TRACE(code);
        std::wstring english;
        if (english_message(code, english)) {
            EXPECT_EQ(english, cl::error_text(code, cl::text_winhttp));
            continue;
        }
        EXPECT_EQ(cl::winhttp_error_text(code), cl::error_text(code, cl::text_winhttp));
        // Without the WinHTTP mode the code gets the system's other languages or its number.
        if (no_system_message(code)) {
            EXPECT_EQ(cl::error_number_text(code), cl::error_text(code));
        }
    }
}

TEST(ErrorText, HresultModeDecodesWin32Failures) {
    const unsigned code = 0x80070020u;
    std::wstring english;
    if (english_message(code, english)) {
        EXPECT_EQ(english, cl::error_text(code, cl::text_hresult));
    } else {
        EXPECT_EQ(L"Error 0x80070020 (Facility: Win32 API, Code: 32) [" + cl::error_text(32) + L"]",
                  cl::error_text(code, cl::text_hresult));
    }
    if (no_system_message(code)) {
        EXPECT_EQ(L"Error 2147942432", cl::error_text(code));
    }
    // A Win32 code without any system text reaches the decoded form through the HRESULT path.
    if (no_system_message(12002) && no_system_message(0x80072EE2u)) {
        EXPECT_EQ(L"Error 0x80072ee2 (Facility: Win32 API, Code: 12002) [Error 12002]",
                  cl::error_text(12002, cl::text_hresult));
    }
    if (no_system_message(unknown_code) && no_system_message(0x8007FFFFu) &&
        no_system_message(0xFFFFu)) {
        EXPECT_EQ(L"Error 0x8007ffff (Facility: Win32 API, Code: 65535) [Error 65535]",
                  cl::error_text(unknown_code, cl::text_hresult));
    }
}

TEST(SystemMessage, EnglishAttemptFallsBackToOwnTablesByMode) {
    std::wstring out;
    std::wstring system;
    if (!format_message(678, 0x0409, system)) {
        ASSERT_TRUE(cl::system_message(678, 0x0409, out, cl::text_win32));
        EXPECT_EQ(L"The remote computer did not respond.", out);
        ASSERT_TRUE(cl::system_message(678, 0x0809, out, 5));
        EXPECT_EQ(L"The remote computer did not respond.", out);
    }
    if (!format_message(678, 0x0407, system)) {
        EXPECT_FALSE(cl::system_message(678, 0x0407, out, cl::text_win32));
    }
    if (!format_message(unknown_code, 0x0409, system)) {
        EXPECT_FALSE(cl::system_message(unknown_code, 0x0409, out, cl::text_win32));
        EXPECT_FALSE(cl::system_message(unknown_code, 0x0409, out, cl::text_winhttp));
        out = L"stale";
        EXPECT_FALSE(cl::system_message(unknown_code, 0x0409, out, 9));
        EXPECT_TRUE(out.empty());
        // The HRESULT path always has a text: at least the decoded form.
        ASSERT_TRUE(cl::system_message(unknown_code, 0x0409, out, cl::text_hresult));
        EXPECT_EQ(cl::win32_hresult_text(unknown_code), out);
    }
    if (!format_message(12002, 0x0409, system)) {
        ASSERT_TRUE(cl::system_message(12002, 0x0409, out, cl::text_winhttp));
        EXPECT_EQ(L"The request has timed out.", out);
    }
}

TEST(SystemMessage, SystemTextMatchesFormatMessage) {
    for (LANGID language : {LANGID(0x0409), LANGID(0x0407), LANGID(0)}) {
        std::wstring expected;
        std::wstring out;
        const bool found = format_message(5, language, expected);
        EXPECT_EQ(found, cl::system_message(5, language, out, cl::text_win32));
        if (found) {
            EXPECT_EQ(expected, out);
        }
    }
}

TEST(ErrorText, LanguageListOrder) {
    const LANGID expected[] = {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409,
                               0x1809, 0x0407, 0x0807, 0x0C07, 0};
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(expected[i], cl::error_text_languages[i]);
}

TEST(ServiceStateName, NamesAndUnknownStates) {
    const struct {
        unsigned state;
        const char* name;
    } rows[] = {
        {SERVICE_STOPPED, "stopped"},
        {SERVICE_START_PENDING, "start pending"},
        {SERVICE_STOP_PENDING, "stop pending"},
        {SERVICE_RUNNING, "running"},
        {SERVICE_CONTINUE_PENDING, "continue pending"},
        {SERVICE_PAUSE_PENDING, "pause pending"},
        {SERVICE_PAUSED, "paused"},
        {0, "Unknown status (0)"},
        {8, "Unknown status (8)"},
        {9, "Unknown status (9)"},
        {0xFFFFFFFFu, "Unknown status (4294967295)"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.name, cl::service_state_name(row.state));
}

}  // namespace
