// The console sinks, without state:
// - cl::console_trace: in a console program writes to the console (WriteConsoleW); in a GUI
//   program shows every text in a message box.
// - cl::stdout_trace, cl::stderr_trace: in a console program write to the console when the
//   standard handle is a character device, otherwise to the runtime's stdout or stderr stream in
//   the OEM code page; in a GUI program they write nothing.
// Whether the program is a console program is decided at run time from the subsystem of the
// executable, so one library serves GUI and console programs. Any thread may write.
#pragma once

#include "cl/trace/trace_base.h"

namespace cl {

// True when the process's executable is a console program (subsystem CUI).
bool is_console_program();

class console_trace : public trace_base {
public:
    void write(const wchar_t* text, bool may_defer) override;
    // Narrow text in the thread's ANSI code page.
    void write(const char* text, bool may_defer) override;
};

class stdout_trace : public trace_base {
public:
    void write(const wchar_t* text, bool may_defer) override;
    // Narrow text in the thread's ANSI code page.
    void write(const char* text, bool may_defer) override;
};

class stderr_trace : public trace_base {
public:
    void write(const wchar_t* text, bool may_defer) override;
    // Narrow text in the thread's ANSI code page.
    void write(const char* text, bool may_defer) override;
};

// One of each; in a console program g_stdout_trace is in cl::g_trace_out and g_stderr_trace in
// cl::g_trace_err (see trace.h); g_console_trace is in no list.
extern console_trace g_console_trace;
extern stdout_trace g_stdout_trace;
extern stderr_trace g_stderr_trace;

}  // namespace cl
