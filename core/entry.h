// The program's entry and its run modes.
#pragma once

namespace tolvarn {

// The whole program behind wWinMain: loads the configuration, names the log file, refuses an
// operating system older than Windows XP, and dispatches the command line. Returns the exit code.
int run_program();
// Runs the mode chosen by `arguments` (the command line behind the program name; may be null):
// -stop_appl, -start_service, -stop_service, or the watchdog itself. Returns 0 or -1.
int dispatch_command_line(const wchar_t* arguments);
// Application mode: start_watching, then the hidden main window's message loop until WM_CLOSE.
void run_application();
// Creates the hidden main window titled product_name, runs the message loop to its end (the
// window's end-of-run operation stops the watching) and destroys the window.
void run_main_window();

}  // namespace tolvarn
