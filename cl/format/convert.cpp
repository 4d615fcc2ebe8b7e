#include "cl/format/convert.h"

#include <climits>
#include <cwchar>
#include <cstring>

namespace cl {

std::wstring widen(const char* text, std::size_t length, UINT cp) {
    if (!text || length == 0 || length > static_cast<std::size_t>(INT_MAX)) return std::wstring();
    const int in = static_cast<int>(length);
    // MB_PRECOMPOSED is refused by UTF-8 and the other code pages that take no flags.
    const DWORD flags = (cp == CP_UTF8 || cp == CP_UTF7) ? 0 : MB_PRECOMPOSED;
    const int needed = ::MultiByteToWideChar(cp, flags, text, in, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(needed), L'\0');
    const int done = ::MultiByteToWideChar(cp, flags, text, in, &out[0], needed);
    out.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
    return out;
}

std::wstring widen(const char* text, UINT cp) {
    return text ? widen(text, std::strlen(text), cp) : std::wstring();
}
std::wstring widen(const std::string& text, UINT cp) { return widen(text.data(), text.size(), cp); }
// The code page is passed as UINT: a bare int literal would be ambiguous with the length overload.
std::wstring widen(const char* text) { return widen(text, static_cast<UINT>(CP_THREAD_ACP)); }
std::wstring widen(const char* text, std::size_t length) { return widen(text, length, CP_THREAD_ACP); }
std::wstring widen(const std::string& text) { return widen(text, CP_THREAD_ACP); }

std::string narrow(const wchar_t* text, std::size_t length, UINT cp) {
    if (!text || length == 0 || length > static_cast<std::size_t>(INT_MAX)) return std::string();
    const int in = static_cast<int>(length);
    // WC_COMPOSITECHECK is refused by UTF-8 and the other code pages that take no flags.
    const DWORD flags = (cp == CP_UTF8 || cp == CP_UTF7) ? 0 : WC_COMPOSITECHECK;
    const int needed = ::WideCharToMultiByte(cp, flags, text, in, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<std::size_t>(needed), '\0');
    const int done = ::WideCharToMultiByte(cp, flags, text, in, &out[0], needed, nullptr, nullptr);
    out.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
    return out;
}

std::string narrow(const wchar_t* text, UINT cp) {
    return text ? narrow(text, std::wcslen(text), cp) : std::string();
}
std::string narrow(const std::wstring& text, UINT cp) { return narrow(text.data(), text.size(), cp); }
std::string narrow(const wchar_t* text) { return narrow(text, static_cast<UINT>(CP_THREAD_ACP)); }
std::string narrow(const wchar_t* text, std::size_t length) { return narrow(text, length, CP_THREAD_ACP); }
std::string narrow(const std::wstring& text) { return narrow(text, CP_THREAD_ACP); }

}  // namespace cl
