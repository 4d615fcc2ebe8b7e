// tolvarn_demo.exe: the program that the bundled example configuration watches. It has no
// window and no console and does nothing but stay alive until it is ended (for instance with
// the Task Manager), so that the watchdog's reaction to its end can be seen in the log.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    for (;;) ::Sleep(INFINITE);
}
