// The service host: what runs when the service control manager starts the program.
//
// service_main runs on a thread of the dispatcher; it starts the worker thread, which runs the
// watchdog exactly as application mode does, and reports running once the worker's hidden window
// exists. The control handler runs on the main thread inside StartServiceCtrlDispatcherW; a stop
// closes that window by its title and waits for the worker, terminating it when 20 seconds have
// passed since the stop arrived. A worker that ends without a stop request reports the service
// stopped with an error itself, so that the manager's recovery can act. The status record is
// written by these threads under one lock.
#pragma once

#include <windows.h>

namespace tolvarn {

// The ServiceMain given to the dispatcher; the arguments are ignored.
void WINAPI service_main(DWORD argc, LPWSTR* argv);
// The HandlerEx routine: stop and shut-down end the service, interrogate reports the status,
// anything else answers ERROR_CALL_NOT_IMPLEMENTED after reporting the status unchanged.
DWORD WINAPI service_ctrl_handler(DWORD control, DWORD event_type, LPVOID event_data, LPVOID context);
// The worker thread: the hidden main window, start_watching, the message loop.
DWORD WINAPI service_thread_proc(LPVOID parameter);

// Called by service_main once start pending is reported: clears the stop request, starts the worker
// thread (a small stack: it runs only start_watching and the message loop), waits until its window
// exists or it has ended, then reports running unless it has reported stopped itself. False when
// the thread cannot be created.
bool start_service_worker();
// A copy of the service status as last set.
SERVICE_STATUS service_status_now();

// How long a stop may take from its arrival until the worker thread is terminated, in milliseconds.
constexpr DWORD service_stop_timeout_ms = 20000;

// Service-specific exit codes (with ERROR_SERVICE_SPECIFIC_ERROR, except 1, which comes with
// exit code 0xFFFFFFFF) of a service that stopped without a stop request.
enum : DWORD {
    service_no_thread = 1,       // the worker thread could not be created
    service_no_window = 2,       // the worker could not create its window
    service_window_closed = 3,   // the window was closed by someone other than the stop control
    service_worker_failed = 4,   // the worker ended by an unexpected exception
};

}  // namespace tolvarn
