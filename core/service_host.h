// The service host: what runs when the service control manager starts the program.
//
// service_main runs on a thread of the dispatcher and returns after starting the worker thread,
// which runs the watchdog exactly as application mode does. The control handler runs on the main
// thread inside StartServiceCtrlDispatcherW; a stop closes the worker's hidden window by its title
// and waits up to 20 seconds for the worker before terminating it.
#pragma once

#include <windows.h>

namespace tolvarn {

// The ServiceMain given to the dispatcher; the arguments are ignored.
void WINAPI service_main(DWORD argc, LPWSTR* argv);
// The HandlerEx routine: stop and shut-down end the service, interrogate reports the status,
// anything else answers ERROR_CALL_NOT_IMPLEMENTED after reporting the status unchanged.
DWORD WINAPI service_ctrl_handler(DWORD control, DWORD event_type, LPVOID event_data, LPVOID context);
// The worker thread: start_watching, then the hidden main window's message loop.
DWORD WINAPI service_thread_proc(LPVOID parameter);

// How long a stop waits for the worker thread before terminating it, in milliseconds.
constexpr DWORD service_stop_timeout_ms = 20000;

}  // namespace tolvarn
