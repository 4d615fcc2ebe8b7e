#include "core/service_host.h"

#include "cl/format/format.h"
#include "cl/timer/event.h"
#include "cl/trace/file_trace.h"
#include "core/app_config.h"
#include "core/entry.h"
#include "core/log.h"
#include "core/main_wnd.h"
#include "core/watch_cycle.h"

#include <atomic>
#include <mutex>

namespace tolvarn {

namespace {

std::mutex status_lock;  // guards service_status and its reports
SERVICE_STATUS service_status;
SERVICE_STATUS_HANDLE service_status_handle = nullptr;
HANDLE service_thread = nullptr;  // never closed: the process ends with the service

// Set by the first of the stop control and a worker that ends by itself; the other then leaves
// the final report alone.
std::atomic<bool> stop_requested{false};
cl::event worker_ready;  // set by the worker once its window exists

// Reports the status after changing its state and exit codes; a service that has reported stopped
// stays stopped.
void set_status(DWORD state, DWORD exit_code = 0, DWORD specific_code = 0) {
    std::lock_guard<std::mutex> guard(status_lock);
    if (state != 0 && service_status.dwCurrentState != SERVICE_STOPPED) {
        service_status.dwCurrentState = state;
        service_status.dwWin32ExitCode = exit_code;
        service_status.dwServiceSpecificExitCode = specific_code;
    }
    service_status.dwCheckPoint = 0;
    service_status.dwWaitHint = 0;
    ::SetServiceStatus(service_status_handle, &service_status);
}

void report_status() { set_status(0); }

// Runs on the worker once its window exists.
void worker_started() {
    worker_ready.set();
    start_watching();
    // A stop that came before the window existed found nothing to close: it is remembered here.
    if (stop_requested.load()) ::PostQuitMessage(0);
}

void stop_service_worker() {
    const DWORD arrived = ::GetTickCount();
    stop_requested.store(true);
    close_main_window(app_config.product_name, service_stop_timeout_ms);
    const DWORD spent = ::GetTickCount() - arrived;
    const DWORD left = spent < service_stop_timeout_ms ? service_stop_timeout_ms - spent : 0;
    if (::WaitForSingleObject(service_thread, left) == WAIT_TIMEOUT) {
        log(L"Timed out waiting for service thread shutdown. Terminating thread.\n");
        if (!::TerminateThread(service_thread, 0)) {
            const DWORD error = ::GetLastError();
            log((cl::wformat(L"Error %? terminating service thread.\n") % error).str());
            report_status();  // still running
            return;
        }
        // The worker died wherever it was (inside stop_watching, holding its locks, while the timer
        // thread may still be in a long check): running the process's exit code over that state
        // can crash or hang. The log goes to disk now, the manager learns of the stop, and the
        // process ends without its exit routines.
        cl::g_file_trace.flush(false);
        set_status(SERVICE_STOPPED);
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }
    set_status(SERVICE_STOPPED);
}

}  // namespace

void WINAPI service_main(DWORD, LPWSTR*) {
    {
        std::lock_guard<std::mutex> guard(status_lock);
        service_status = SERVICE_STATUS();
    }
    service_status_handle =
        ::RegisterServiceCtrlHandlerExW(app_config.service_name.c_str(), &service_ctrl_handler, nullptr);
    if (!service_status_handle) {
        const DWORD error = ::GetLastError();
        log((cl::wformat(L"RegisterServiceCtrlHandlerEx error %?\n") % error).str());
        return;
    }
    {
        std::lock_guard<std::mutex> guard(status_lock);
        service_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        service_status.dwCurrentState = SERVICE_START_PENDING;
        service_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
        if (!::SetServiceStatus(service_status_handle, &service_status)) return;
    }

    if (!start_service_worker()) set_status(SERVICE_STOPPED, 0xFFFFFFFF, service_no_thread);
}

bool start_service_worker() {
    {
        std::lock_guard<std::mutex> guard(status_lock);
        service_status.dwCurrentState = SERVICE_START_PENDING;
    }
    stop_requested.store(false);
    worker_ready.reset();
    // A reservation, not a commit: the worker (message loop, window procedure, stop_watching)
    // grows its stack on demand within 256 KiB.
    service_thread =
        ::CreateThread(nullptr, 256 * 1024, &service_thread_proc, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!service_thread) return false;
    HANDLE ends[] = {worker_ready.native_handle(), service_thread};
    ::WaitForMultipleObjects(2, ends, FALSE, INFINITE);
    set_status(SERVICE_RUNNING);
    return true;
}

SERVICE_STATUS service_status_now() {
    std::lock_guard<std::mutex> guard(status_lock);
    return service_status;
}

DWORD WINAPI service_ctrl_handler(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        stop_service_worker();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        report_status();
        return NO_ERROR;
    default:
        report_status();
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

DWORD WINAPI service_thread_proc(LPVOID) {
    DWORD reason = service_window_closed;
    const wchar_t* why = L"main window closed";
    try {
        if (!run_main_window(&worker_started)) {
            reason = service_no_window;
            why = L"main window not created";
        }
    } catch (...) {
        // Only memory exhaustion can get here.
        reason = service_worker_failed;
        why = L"unexpected exception";
    }
    if (!stop_requested.exchange(true)) {
        // Nobody asked for this end: the manager must not go on seeing a running service.
        try {
            log((cl::wformat(L"Service thread ended without a stop request (%?). Reporting the service stopped "
                             L"with code %?.\n") % why % reason).str());
        } catch (...) {
        }
        set_status(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR, reason);
    }
    return 0;
}

}  // namespace tolvarn
