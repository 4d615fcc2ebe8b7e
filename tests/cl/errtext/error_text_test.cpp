// cl::error_text against the system's own messages (FormatMessageW asked directly: texts differ
// between systems, and Wine has its own), then the own tables, decoded forms and names, written out.
#include "cl/errtext/error_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The system's message for `code` in `language`, trailing white space removed; empty when none.
std::wstring system_text(unsigned code, LANGID language) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                                     nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    ::LocalFree(buffer);
    return text.erase(text.find_last_not_of(L" \t\r\n\v\f") + 1);
}

std::wstring english_text(unsigned code) {
    std::wstring text;
    for (LANGID language : {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809})
        if (text.empty()) text = system_text(code, language);
    return text;
}

TEST(ErrorText, SystemTextInEnglishElseOwnTextElseTheNumber) {
    const std::wstring text_32 = english_text(32).empty() ? L"Error 32" : english_text(32);
    const struct { unsigned code, mode; std::wstring own; } rows[] = {  // own: the answer without a system text
        {2, cl::text_win32, L""}, {5, cl::text_hresult, L""}, {32, cl::text_winhttp, L""}, {87, cl::text_win32, L""},
        {678, cl::text_win32, L"The remote computer did not respond."},
        {721, cl::text_winhttp, L"The remote computer did not respond."},
        {806, cl::text_win32, L"RAS error 806."},
        {12002, cl::text_winhttp, L"The request has timed out."},
        {12104, cl::text_winhttp, L"WinHttp error 12104."},
        {12002, cl::text_win32, L"Error 12002"},
        {0x80070020u, cl::text_hresult, L"Error 0x80070020 (Facility: Win32 API, Code: 32) [" + text_32 + L"]"},
        {0x2000FFFFu, cl::text_win32, L"Error 536936447"},
        {0x2000FFFFu, cl::text_hresult, L"Error 0x8007ffff (Facility: Win32 API, Code: 65535) [Error 65535]"},
        {0x2000FFFFu, 7, L"Error 536936447"},
    };
    for (const auto& row : rows) {
        const std::wstring english = english_text(row.code);
        const bool number_only = row.own.compare(0, 6, L"Error ") == 0;  // unless the system has a text in any language
        if (english.empty() && (row.own.empty() || (number_only && !system_text(row.code, 0).empty()))) continue;
        ::SetLastError(12345);
        EXPECT_EQ(cl::error_text(row.code, row.mode), english.empty() ? row.own : english) << row.code;
        EXPECT_EQ(::GetLastError(), 12345u);
    }
    std::wstring out;  // the own tables are English: a German attempt does not consult them
    EXPECT_EQ(cl::system_message(678, 0x0407, out), !system_text(678, 0x0407).empty());
    EXPECT_EQ(cl::error_number_text(0xFFFFFFFFu), L"Error 4294967295");
}

TEST(ErrorText, OwnTablesDecodedFormsAndNames) {
    EXPECT_EQ(cl::ras_error_text(600), L"An operation is pending.");
    EXPECT_EQ(cl::ras_error_text(693), L"ERROR_NOT_BINARY_MACRO");
    EXPECT_EQ(cl::ras_error_text(722), L"nvalid data was received from the remote computer. This data was ignored.");
    EXPECT_EQ(cl::ras_error_text(805), L"You cannot dial using this connection at logon time, because it is configured to use "
                                       L"logged on user's credentials.");
    EXPECT_EQ(cl::ras_error_text(868) + cl::ras_error_text(599) + cl::ras_error_text(869), L"RAS error 868.");
    EXPECT_EQ(cl::winhttp_error_text(12001), L"Out of handles (should be obsolete and no longer used).");
    EXPECT_EQ(cl::winhttp_error_text(12186), L"The application does not have the required privileges to access the private "
                                             L"key associated with the client certificate.");
    EXPECT_EQ(cl::winhttp_error_text(12000) + cl::winhttp_error_text(11999) + cl::winhttp_error_text(12187), L"WinHttp error 12000.");
    EXPECT_EQ(cl::hresult_message(static_cast<HRESULT>(0x80040154u)), L"Class not registered.");
    EXPECT_EQ(cl::hresult_message(static_cast<HRESULT>(0xC0090002u)), L"The SID filtering operation removed all SIDs.");
    EXPECT_EQ(cl::hresult_message(static_cast<HRESULT>(0x80070020u)), L"");
    EXPECT_EQ(cl::hresult_decode(0), L"Result 0x00000000 (Code: 0)");
    EXPECT_EQ(cl::hresult_decode(static_cast<HRESULT>(0xC0090001u)),
              L"Error 0xc0090001 (Second severity bit set, Facility: Security Support Provider Interface (SSPI), Code: 1)");
    EXPECT_EQ(cl::hresult_decode(0x28000005), L"Result 0x28000005 (Customer code flag set, Message ID for a display string, "
                                              L"Facility: 2048, Code: 5)");
    EXPECT_EQ(cl::hresult_decode(static_cast<HRESULT>(0x90000001u)), L"Error 0x90000001 (Mapped NT status value, Facility: 4096, Code: 1)");
    EXPECT_EQ(cl::hresult_text(0x00070020), L"Result 0x00070020 (Facility: Win32 API, Code: 32)");  // no text for successes
    EXPECT_EQ(cl::hresult_text(static_cast<HRESULT>(0x80040999u)), L"Error 0x80040999 (Facility: Interface Dependent (ITF), Code: 2457)");
    EXPECT_EQ(cl::win32_hresult_text(0x00010005), L"General access denied error.");  // the low 16 bits as Win32 error
    EXPECT_EQ(cl::win32_hresult_text(0), L"Result 0x00000000 (Code: 0)");
    EXPECT_EQ(cl::win32_hresult_text(0xE0000234u), L"Driver is not intended for this platform.");
    EXPECT_EQ(cl::win32_hresult_text(0xE0000999u), L"Error 0x800f0999 (Facility: Setup APIs, Code: 2457)");
    EXPECT_EQ(cl::facility_name(0) + L"|" + cl::facility_name(35) + L"|" + cl::facility_name(26), L"None|Metadirectory Services|26");
    EXPECT_EQ(cl::service_state_name(SERVICE_STOPPED) + "|" + cl::service_state_name(SERVICE_START_PENDING) + "|" +
                  cl::service_state_name(SERVICE_STOP_PENDING) + "|" + cl::service_state_name(SERVICE_RUNNING) + "|" +
                  cl::service_state_name(SERVICE_CONTINUE_PENDING) + "|" + cl::service_state_name(SERVICE_PAUSE_PENDING) + "|" +
                  cl::service_state_name(SERVICE_PAUSED) + "|" + cl::service_state_name(0),
              "stopped|start pending|stop pending|running|continue pending|pause pending|paused|Unknown status (0)");
}

}  // namespace
