// The program's entry and its run modes.
#pragma once

namespace tolvarn {

// The whole program behind wWinMain: loads the configuration, names the log file, refuses an
// operating system older than Windows XP, and dispatches the command line. Returns the exit code.
int run_program();
// Runs the mode chosen by `arguments` (the command line behind the program name; may be null):
// -stop_appl, -start_service, -stop_service, or the watchdog itself. Returns 0 or -1.
int dispatch_command_line(const wchar_t* arguments);
// Application mode: the hidden main window, start_watching, and its message loop until WM_CLOSE.
// False when the window cannot be created (the program then ends with -1).
bool run_application();
// Creates the hidden main window titled product_name, calls `started` (when not null), runs the
// message loop to its end (the window's end-of-run operation stops the watching) and destroys the
// window. False, after logging "Cannot create the main window (error N).", when the window cannot
// be created; `started` is then not called.
bool run_main_window(void (*started)());

// How long -stop_appl waits for the running copy's window to take its WM_CLOSE, in milliseconds.
constexpr unsigned long stop_appl_timeout_ms = 5000;

}  // namespace tolvarn
