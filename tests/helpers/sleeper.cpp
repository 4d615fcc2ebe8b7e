// sleeper.exe: a windowless program for tests to watch, find and end. It runs until it is ended;
// given any argument, it ends at once with exit code 2 (a program that crashes).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    if (arguments != nullptr && *arguments != L'\0') return 2;
    for (;;) ::Sleep(INFINITE);
}
