// A GUI-subsystem program for the trace tests: names the global log after its first argument,
// writes one line to the main list and one to the error list, and ends without flushing, so the
// text reaches the file only through the exit routine. Exit code 0, or 2 without an argument,
// or 3 when the program wrongly takes itself for a console program.
#include "cl/trace/console_trace.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    cl::g_file_trace.set_file_name(argv[1]);
    ::LocalFree(argv);
    cl::trace_write(&cl::g_trace_out, "gui helper line\n");
    cl::trace_write(&cl::g_trace_err, L"gui helper error \u00e9\n");
    return cl::is_console_program() ? 3 : 0;
}
