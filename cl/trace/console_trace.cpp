#include "cl/trace/console_trace.h"

#include "cl/format/convert.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace cl {

namespace {

const wchar_t caption_w[] = L"Debug message";
const char caption_a[] = "Debug message";

bool console_program() {
    // Read once: the subsystem of the executable does not change while it runs.
    static const bool console = is_console_program();
    return console;
}

bool write_console(HANDLE h, const wchar_t* text, std::size_t length) {
    while (length > 0) {
        const DWORD chunk = length > 16384 ? 16384 : static_cast<DWORD>(length);
        DWORD done = 0;
        if (!::WriteConsoleW(h, text, chunk, &done, nullptr) || done == 0) return false;
        text += done;
        length -= done;
    }
    return true;
}

// Writes to the standard handle `which`; `stream` is the runtime's stream for the same handle.
void write_std(DWORD which, std::FILE* stream, const wchar_t* text) {
    if (!console_program() || !text) return;
    const HANDLE h = ::GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    const std::size_t length = std::wcslen(text);
    if (::GetFileType(h) == FILE_TYPE_CHAR && write_console(h, text, length)) return;
    // Redirected (or a character device that is no console, such as NUL): OEM text to the stream.
    const std::string oem = narrow(text, length, CP_OEMCP);
    std::fwrite(oem.data(), 1, oem.size(), stream);
    std::fflush(stream);
}

void write_std(DWORD which, std::FILE* stream, const char* text) {
    if (!console_program() || !text) return;
    const HANDLE h = ::GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    if (::GetFileType(h) == FILE_TYPE_CHAR) {
        const std::wstring wide = widen(text);
        if (write_console(h, wide.data(), wide.size())) return;
    }
    std::string oem(text);
    if (!oem.empty()) ::CharToOemBuffA(oem.c_str(), &oem[0], static_cast<DWORD>(oem.size()));
    std::fwrite(oem.data(), 1, oem.size(), stream);
    std::fflush(stream);
}

}  // namespace

bool is_console_program() {
    const auto base = reinterpret_cast<const unsigned char*>(::GetModuleHandleW(nullptr));
    if (!base) return false;
    const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

void console_trace::write(const wchar_t* text, bool) {
    if (!text) return;
    if (console_program()) {
        const HANDLE h = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (h != nullptr && h != INVALID_HANDLE_VALUE) write_console(h, text, std::wcslen(text));
    } else {
        ::MessageBoxW(nullptr, text, caption_w, MB_OK | MB_ICONEXCLAMATION);
    }
}

void console_trace::write(const char* text, bool) {
    if (!text) return;
    if (console_program()) {
        const HANDLE h = ::GetStdHandle(STD_OUTPUT_HANDLE);
        const std::wstring wide = widen(text);
        if (h != nullptr && h != INVALID_HANDLE_VALUE) write_console(h, wide.data(), wide.size());
    } else {
        ::MessageBoxA(nullptr, text, caption_a, MB_OK | MB_ICONEXCLAMATION);
    }
}

void stdout_trace::write(const wchar_t* text, bool) { write_std(STD_OUTPUT_HANDLE, stdout, text); }
void stdout_trace::write(const char* text, bool) { write_std(STD_OUTPUT_HANDLE, stdout, text); }
void stderr_trace::write(const wchar_t* text, bool) { write_std(STD_ERROR_HANDLE, stderr, text); }
void stderr_trace::write(const char* text, bool) { write_std(STD_ERROR_HANDLE, stderr, text); }

}  // namespace cl
