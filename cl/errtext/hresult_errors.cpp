// The HRESULT path of cl::error_text: own texts where the table has one, otherwise a structural
// description of the code's bits, facility and code number.
#include "cl/errtext/error_text.h"

#include "cl/format/format.h"

#include <cstdint>

namespace cl {

namespace {

struct facility_row {
    unsigned number;
    const wchar_t* name;
};

const facility_row facility_names[] = {
    {0, L"None"},
    {1, L"Remote Procedure Call (RPC)"},
    {2, L"IDispatch"},
    {3, L"Structured Storage Interfaces"},
    {4, L"Interface Dependent (ITF)"},
    {7, L"Win32 API"},
    {8, L"Microsoft-defined Interfaces"},
    {9, L"Security Support Provider Interface (SSPI)"},
    {10, L"OLE Controls"},
    {11, L"Certificate Services"},
    {12, L"Internet-related APIs"},
    {13, L"Media Server APIs"},
    {14, L"Microsoft Messaging Queue (MSMQ)"},
    {15, L"Setup APIs"},
    {16, L"Smart Card"},
    {17, L"COM+"},
    {18, L"AAF"},
    {19, L"URT"},
    {20, L"Bandwidth Allocation Control Service (ACS)"},
    {21, L"DirectPlay"},
    {22, L"UMI"},
    {23, L"Side-by-side Components (SxS)"},
    {24, L"Windows CE"},
    {25, L"HTTP"},
    {32, L"Background Copy"},
    {33, L"Configuration"},
    {34, L"State Management"},
    {35, L"Metadirectory Services"},
};

constexpr std::uint32_t failure_bit = 0x80000000u;
constexpr unsigned facility_win32 = 7;

}  // namespace

std::wstring facility_name(unsigned facility) {
    for (const facility_row& row : facility_names) {
        if (row.number == facility) return row.name;
    }
    return (wformat(L"%u") % facility).str();
}

std::wstring hresult_decode(HRESULT hr) {
    const std::uint32_t code = static_cast<std::uint32_t>(hr);
    std::wstring text = (code & failure_bit) ? L"Error " : L"Result ";
    text += (wformat(L"0x%08x (") % code).str();
    if (code & 0x40000000u) text += L"Second severity bit set, ";
    if (code & 0x20000000u) text += L"Customer code flag set, ";
    if (code & 0x10000000u) text += L"Mapped NT status value, ";
    if (code & 0x08000000u) text += L"Message ID for a display string, ";
    // The facility field proper is bits 16 to 26; bits 27 and 28 are flags, yet they stay part of
    // the number shown, as they always have.
    const unsigned facility = (code >> 16) & 0x1FFFu;
    if (facility != 0) {
        text += L"Facility: ";
        text += facility_name(facility);
        text += L", ";
    }
    text += (wformat(L"Code: %u)") % (code & 0xFFFFu)).str();
    return text;
}

std::wstring hresult_text(HRESULT hr) {
    std::wstring text = hresult_message(hr);
    if (!text.empty()) return text;
    const std::uint32_t code = static_cast<std::uint32_t>(hr);
    text = hresult_decode(hr);
    if ((code & failure_bit) && ((code >> 16) & 0x1FFFu) == facility_win32) {
        text += L" [";
        text += error_text(code & 0xFFFFu, text_win32);
        text += L"]";
    }
    return text;
}

std::wstring win32_hresult_text(unsigned code) {
    std::uint32_t hr;
    if ((code & 0xE0000000u) == 0xE0000000u) {
        // SetupAPI reports its own errors with the top three bits set.
        hr = 0x800F0000u | (code & 0xFFFFu);
    } else if (static_cast<std::int32_t>(code) <= 0) {
        hr = code;
    } else {
        hr = 0x80070000u | (code & 0xFFFFu);
    }
    return hresult_text(static_cast<HRESULT>(hr));
}

}  // namespace cl
