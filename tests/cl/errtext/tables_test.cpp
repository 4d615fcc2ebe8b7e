// The own tables: RAS and WinHTTP texts, HRESULT texts and their decoded form, facility names.
#include "cl/errtext/error_text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct code_row {
    unsigned code;
    const wchar_t* text;
};

TEST(RasErrorText, TellingRows) {
    const code_row rows[] = {
        {600, L"An operation is pending."},
        {676, L"The phone line is busy."},
        {678, L"The remote computer did not respond."},
        {721, L"The remote computer did not respond."},
        {691, L"Access was denied because the username and/or password was invalid on the domain."},
        {693, L"ERROR_NOT_BINARY_MACRO"},
        {694, L"ERROR_DCB_NOT_FOUND"},
        {706, L"ERROR_WRITING_INITBPS"},
        {722, L"nvalid data was received from the remote computer. This data was ignored."},
        {745, L"ERROR_INVALID_SMM"},
        {746, L"ERROR_SMM_UNINITIALIZED"},
        {747, L"ERROR_NO_MAC_FOR_PORT"},
        {748, L"ERROR_SMM_TIMEOUT"},
        {749, L"ERROR_BAD_PHONE_NUMBER"},
        {750, L"ERROR_WRONG_MODULE"},
        {805, L"You cannot dial using this connection at logon time, because it is configured to "
              L"use logged on user's credentials."},
        {806, L"RAS error 806."},
        {868, L"RAS error 868."},
        {599, L""},
        {869, L""},
        {0, L""},
        {0xFFFFFFFFu, L""},
    };
    for (const code_row& row : rows) EXPECT_EQ(row.text, cl::ras_error_text(row.code)) << row.code;
}

TEST(RasErrorText, EveryCodeOfTheTableHasItsOwnText) {
    std::map<std::wstring, std::vector<unsigned>> codes_by_text;
    for (unsigned code = 600; code <= 805; ++code) {
        const std::wstring text = cl::ras_error_text(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(std::wstring::npos, text.find(L"RAS error")) << code;
        codes_by_text[text].push_back(code);
    }
    // 206 codes, 205 texts: only 678 and 721 share one (a shifted row would show up here).
    EXPECT_EQ(205u, codes_by_text.size());
    EXPECT_EQ((std::vector<unsigned>{678, 721}),
              codes_by_text[L"The remote computer did not respond."]);
}

TEST(WinHttpErrorText, TellingRowsAndFallbacks) {
    const code_row rows[] = {
        {12001, L"Out of handles (should be obsolete and no longer used)."},
        {12002, L"The request has timed out."},
        {12007, L"The server name cannot be resolved."},
        {12029, L"The connection to the server failed."},
        {12186, L"The application does not have the required privileges to access the private "
                L"key associated with the client certificate."},
        {12000, L"WinHttp error 12000."},
        {12003, L"WinHttp error 12003."},
        {12104, L"WinHttp error 12104."},
        {12151, L"WinHttp error 12151."},
        {11999, L""},
        {12187, L""},
        {5, L""},
    };
    for (const code_row& row : rows) {
        EXPECT_EQ(row.text, cl::winhttp_error_text(row.code)) << row.code;
    }
}

TEST(WinHttpErrorText, FortySevenCodesHaveTheirOwnText) {
    unsigned own = 0;
    for (unsigned code = 12000; code <= 12186; ++code) {
        const std::wstring text = cl::winhttp_error_text(code);
        ASSERT_FALSE(text.empty()) << code;
        if (text.compare(0, 14, L"WinHttp error ") != 0) ++own;
    }
    EXPECT_EQ(47u, own);
    for (unsigned code : {12100u, 12101u, 12102u, 12103u}) {
        EXPECT_EQ(0u, cl::winhttp_error_text(code).find(L"Returned by the HttpRequest object"));
    }
}

TEST(HresultMessage, TellingRows) {
    const struct {
        unsigned hr;
        const wchar_t* text;
    } rows[] = {
        {0x80004001, L"Not implemented."},
        {0x80004002, L"No such interface supported."},
        {0x80004003, L"Invalid pointer."},
        {0x8000FFFF, L"Catastrophic failure."},
        {0x80070005, L"General access denied error."},
        {0x80070006, L"Invalid handle."},
        {0x8007000E, L"Ran out of memory."},
        {0x80070057, L"One or more arguments are invalid."},
        {0x8000000A, L"The data necessary to complete this operation is not yet available."},
        {0x80040154, L"Class not registered."},
        {0x80070020, L""},
        {0x00000000, L""},
        {0x12345678, L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.text, cl::hresult_message(static_cast<HRESULT>(row.hr))) << std::hex << row.hr;
    }
}

TEST(HresultDecode, Structure) {
    const struct {
        unsigned hr;
        const wchar_t* text;
    } rows[] = {
        {0x80070020, L"Error 0x80070020 (Facility: Win32 API, Code: 32)"},
        {0x00000000, L"Result 0x00000000 (Code: 0)"},
        {0x00000001, L"Result 0x00000001 (Code: 1)"},
        {0x8004FFFF, L"Error 0x8004ffff (Facility: Interface Dependent (ITF), Code: 65535)"},
        {0xC0090001, L"Error 0xc0090001 (Second severity bit set, Facility: Security Support "
                     L"Provider Interface (SSPI), Code: 1)"},
        {0x28000005, L"Result 0x28000005 (Customer code flag set, Message ID for a display "
                     L"string, Facility: 2048, Code: 5)"},
        {0x90000001, L"Error 0x90000001 (Mapped NT status value, Facility: 4096, Code: 1)"},
        {0x80050002, L"Error 0x80050002 (Facility: 5, Code: 2)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.text, cl::hresult_decode(static_cast<HRESULT>(row.hr))) << std::hex << row.hr;
    }
}

TEST(HresultText, OwnTextThenDecodeWithWin32TextForWin32Failures) {
    const HRESULT win32_failure = static_cast<HRESULT>(0x80070020u);
    const std::wstring decoded_32 =
        L"Error 0x80070020 (Facility: Win32 API, Code: 32) [" + cl::error_text(32) + L"]";
    EXPECT_EQ(decoded_32, cl::hresult_text(win32_failure));
    EXPECT_EQ(L"Not implemented.", cl::hresult_text(static_cast<HRESULT>(0x80004001u)));
    // Failures of other facilities and success codes get no bracketed text.
    EXPECT_EQ(cl::hresult_decode(static_cast<HRESULT>(0x80040999u)),
              cl::hresult_text(static_cast<HRESULT>(0x80040999u)));
    EXPECT_EQ(L"Result 0x00070020 (Facility: Win32 API, Code: 32)",
              cl::hresult_text(static_cast<HRESULT>(0x00070020u)));
}

TEST(Win32HresultText, MapsCodesIntoHresults) {
    const std::wstring decoded_32 =
        L"Error 0x80070020 (Facility: Win32 API, Code: 32) [" + cl::error_text(32) + L"]";
    EXPECT_EQ(decoded_32, cl::win32_hresult_text(32));
    EXPECT_EQ(decoded_32, cl::win32_hresult_text(0x80070020u));   // already an HRESULT
    EXPECT_EQ(decoded_32, cl::win32_hresult_text(0x00010020u));   // only the low 16 bits count
    EXPECT_EQ(L"General access denied error.", cl::win32_hresult_text(5));
    EXPECT_EQ(L"Result 0x00000000 (Code: 0)", cl::win32_hresult_text(0));
    // SetupAPI errors carry the top three bits.
    EXPECT_EQ(L"Driver is not intended for this platform.", cl::win32_hresult_text(0xE0000234u));
    EXPECT_EQ(L"Error 0x800f0999 (Facility: Setup APIs, Code: 2457)",
              cl::win32_hresult_text(0xE0000999u));
}

TEST(FacilityName, NamedAndNumbered) {
    const code_row rows[] = {
        {0, L"None"},
        {1, L"Remote Procedure Call (RPC)"},
        {4, L"Interface Dependent (ITF)"},
        {7, L"Win32 API"},
        {9, L"Security Support Provider Interface (SSPI)"},
        {17, L"COM+"},
        {25, L"HTTP"},
        {32, L"Background Copy"},
        {35, L"Metadirectory Services"},
        {5, L"5"},
        {6, L"6"},
        {26, L"26"},
        {36, L"36"},
        {8191, L"8191"},
    };
    for (const code_row& row : rows) EXPECT_EQ(row.text, cl::facility_name(row.code)) << row.code;
}

}  // namespace
