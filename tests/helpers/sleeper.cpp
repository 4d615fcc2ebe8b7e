// sleeper.exe: a windowless GUI-subsystem program for tests that need a process to watch,
// find and end. It runs until it is ended, unless told otherwise:
//   --exit-after-ms N   ends by itself after N milliseconds
//   --exit-code N       the exit code when it ends by itself (default 0)
//   --touch <file>      writes its process id (decimal) to <file> once it has started; the
//                       file appears complete (written beside it, then renamed over it)
// An unknown or incomplete argument ends it at once with exit code 2.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

constexpr int usage_error = 2;

bool write_pid_file(const std::wstring& path) {
    std::string text = std::to_string(::GetCurrentProcessId());
    std::wstring temp = path + L".tmp";
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || written != text.size()) return false;
    return ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr) return usage_error;

    long long exit_after_ms = -1;
    int exit_code = 0;
    std::wstring touch;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (i + 1 >= argc) {
            ::LocalFree(argv);
            return usage_error;
        }
        if (arg == L"--exit-after-ms") {
            exit_after_ms = std::wcstoll(argv[++i], nullptr, 10);
        } else if (arg == L"--exit-code") {
            exit_code = static_cast<int>(std::wcstoll(argv[++i], nullptr, 10));
        } else if (arg == L"--touch") {
            touch = argv[++i];
        } else {
            ::LocalFree(argv);
            return usage_error;
        }
    }
    ::LocalFree(argv);

    if (!touch.empty() && !write_pid_file(touch)) return usage_error + 1;

    if (exit_after_ms < 0) {
        for (;;) ::Sleep(1000);
    }
    ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(exit_after_ms);
    while (::GetTickCount64() < deadline) {
        ULONGLONG left = deadline - ::GetTickCount64();
        ::Sleep(left > 100 ? 100 : static_cast<DWORD>(left));
    }
    return exit_code;
}
