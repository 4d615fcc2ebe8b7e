// tolvarn.exe: the watchdog's entry point (GUI subsystem, wide command line).
#include "core/entry.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return tolvarn::run_program();
    } catch (...) {
        return -1;
    }
}
