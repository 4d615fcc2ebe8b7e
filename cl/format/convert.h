// Code-page conversion between narrow and wide text: cl::widen and cl::narrow.
//
// Thin wrappers over MultiByteToWideChar (MB_PRECOMPOSED) and WideCharToMultiByte
// (WC_COMPOSITECHECK, no default character). A conversion that fails, or measures zero
// characters, yields an empty string; nothing is reported. Overloads without a code page use
// the calling thread's ANSI code page (CP_THREAD_ACP). Stateless and thread-safe.
// Pass a code page constant as UINT (e.g. UINT(CP_UTF8)) to the two-argument pointer overloads: a
// plain int is ambiguous there between the code page and the length.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace cl {

// Narrow text in code page `cp` to UTF-16; a null pointer gives an empty string.
std::wstring widen(const char* text, UINT cp);
// `length` characters of narrow text in code page `cp` to UTF-16.
std::wstring widen(const char* text, std::size_t length, UINT cp);
std::wstring widen(const std::string& text, UINT cp);
std::wstring widen(const char* text);
std::wstring widen(const char* text, std::size_t length);
std::wstring widen(const std::string& text);

// UTF-16 text to code page `cp`; a null pointer gives an empty string.
std::string narrow(const wchar_t* text, UINT cp);
// `length` characters of UTF-16 text to code page `cp`.
std::string narrow(const wchar_t* text, std::size_t length, UINT cp);
std::string narrow(const std::wstring& text, UINT cp);
std::string narrow(const wchar_t* text);
std::string narrow(const wchar_t* text, std::size_t length);
std::string narrow(const std::wstring& text);

}  // namespace cl
