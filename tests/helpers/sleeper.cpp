// sleeper.exe: a windowless program for tests to watch, find and end. It runs until it is ended;
// given any argument, it ends at once with exit code 2 (a program that crashes). It reads its
// arguments as most programs do (CommandLineToArgvW), so that as idle_bench's baseline it loads
// what a typical one-thread program loads.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv != nullptr) ::LocalFree(argv);
    if (argc > 1) return 2;
    for (;;) ::Sleep(INFINITE);
}
