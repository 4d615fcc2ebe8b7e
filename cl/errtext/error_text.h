// Readable texts for Windows error codes, HRESULTs, WinHTTP codes and service states.
//
// cl::error_text prefers the system's own message in English or German, falls back to the
// system's default language with the number in front, and uses tables of its own for codes that
// the system has no message for (RAS always; HRESULTs and WinHTTP codes by mode). The own tables
// hold English texts; every result is a wide string except cl::service_state_name's. All
// functions are stateless and may be called from any thread.
#pragma once

#include <windows.h>

#include <string>

namespace cl {

// Modes of cl::error_text: which own table backs up the system messages.
constexpr unsigned text_win32 = 0;    // system messages and the RAS table
constexpr unsigned text_hresult = 1;  // also the HRESULT path (code taken as Win32 error or HRESULT)
constexpr unsigned text_winhttp = 2;  // also the WinHTTP table

// The languages tried by cl::error_text, in order: six English, three German, then 0 (the
// system's default search order).
extern const LANGID error_text_languages[10];

// Readable text for `code`; never empty, and GetLastError() is the same after the call as before.
// A text in a language other than English or German comes as "Error <code>. <text>"; a code
// without any text gives "Error <code>".
std::wstring error_text(unsigned code, unsigned mode = text_win32);

// One attempt of cl::error_text: the system message for `code` in `language`, trailing white
// space removed; for an English language the own tables by `mode` when the system has none.
// Returns false (out unspecified, possibly cleared) when no text was found.
bool system_message(unsigned code, LANGID language, std::wstring& out, unsigned mode = text_win32);

// "Error <code>" with the code in unsigned decimal.
std::wstring error_number_text(unsigned code);

// RAS error text: 600..805 from the table, 806..868 "RAS error <code>.", anything else empty.
std::wstring ras_error_text(unsigned code);

// WinHTTP error text: a known code's text, other codes 12000..12186 "WinHttp error <code>.",
// anything else empty.
std::wstring winhttp_error_text(unsigned code);

// Own text for an HRESULT by exact match; empty when the code is not in the table.
std::wstring hresult_message(HRESULT hr);

// Structural description: "Error 0x80070020 (Facility: Win32 API, Code: 32)" and the like.
std::wstring hresult_decode(HRESULT hr);

// The own text of `hr`; else the decoded form, for a Win32 failure followed by
// " [" + error_text(low 16 bits) + "]". Never empty.
std::wstring hresult_text(HRESULT hr);

// cl::hresult_text of `code` read as a Win32 error (mapped into facility Win32), a SetupAPI
// error (top three bits set: facility SetupAPI), or, when zero or negative, an HRESULT as it is.
std::wstring win32_hresult_text(unsigned code);

// Name of an HRESULT facility number; numbers without a name give the number in decimal.
std::wstring facility_name(unsigned facility);

// Name of a service state of the service control manager ("running", ...); other values give
// "Unknown status (<state>)".
std::string service_state_name(unsigned state);

}  // namespace cl
