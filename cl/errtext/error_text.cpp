// cl::error_text and its single attempt cl::system_message.
#include "cl/errtext/error_text.h"

#include "cl/base/unique_handle.h"
#include "cl/format/format.h"

namespace cl {

const LANGID error_text_languages[10] = {
    0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809,  // English: US, UK, AU, CA, NZ, IE
    0x0407, 0x0807, 0x0C07,                          // German: DE, CH, AT
    0,                                               // the system's default search order
};

namespace {

// Puts the thread's last-error value back on every way out, exceptions included.
class last_error_keeper {
public:
    last_error_keeper() : saved_(::GetLastError()) {}
    ~last_error_keeper() { ::SetLastError(saved_); }
    last_error_keeper(const last_error_keeper&) = delete;
    last_error_keeper& operator=(const last_error_keeper&) = delete;

private:
    DWORD saved_;
};

bool is_trailing_space(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

}  // namespace

std::wstring error_number_text(unsigned code) {
    return (wformat(L"Error %u") % code).str();
}

bool system_message(unsigned code, LANGID language, std::wstring& out, unsigned mode) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const unique_local_memory owner(buffer);
    if (length != 0 && buffer != nullptr) {
        DWORD end = length;
        while (end > 0 && is_trailing_space(buffer[end - 1])) --end;
        out.assign(buffer, end);
        return true;
    }
    // The own tables are English: only the English attempts consult them, and the first one
    // does, so a RAS code gets the English text even where the system has RAS messages of
    // another language.
    if (PRIMARYLANGID(language) != LANG_ENGLISH) return false;
    out = ras_error_text(code);
    if (!out.empty()) return true;
    switch (mode) {
    case text_win32:
        return false;
    case text_hresult:
        out = win32_hresult_text(code);
        return !out.empty();
    case text_winhttp:
        out = winhttp_error_text(code);
        return !out.empty();
    default:
        out.clear();
        return false;
    }
}

std::wstring error_text(unsigned code, unsigned mode) {
    const last_error_keeper keeper;
    std::wstring text;
    for (LANGID language : error_text_languages) {
        if (!system_message(code, language, text, mode)) continue;
        // A message of nothing but white space counts as no text: the result is never empty.
        if (text.empty()) break;
        if (language != 0) return text;
        // Neither English nor German: the number goes in front, so the log stays searchable.
        return (wformat(L"%?. %?") % error_number_text(code) % text).str();
    }
    return error_number_text(code);
}

}  // namespace cl
