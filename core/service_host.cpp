#include "core/service_host.h"

#include "cl/format/format.h"
#include "cl/trace/trace.h"
#include "core/app_config.h"
#include "core/entry.h"
#include "core/watch_cycle.h"

namespace tolvarn {

namespace {

SERVICE_STATUS service_status;
SERVICE_STATUS_HANDLE service_status_handle = nullptr;
HANDLE service_thread = nullptr;  // never closed: the process ends with the service

void log(const std::wstring& text) { cl::trace_write(&cl::g_trace_out, text); }

void report_status() { ::SetServiceStatus(service_status_handle, &service_status); }

void stop_service_worker() {
    HWND window = ::FindWindowW(nullptr, app_config.product_name.c_str());
    if (window) ::SendMessageW(window, WM_CLOSE, 0, 0);

    if (::WaitForSingleObject(service_thread, service_stop_timeout_ms) == WAIT_TIMEOUT) {
        log(L"Timed out waiting for service thread shutdown. Terminating thread.\n");
        if (!::TerminateThread(service_thread, 0)) {
            const DWORD error = ::GetLastError();
            log((cl::wformat(L"Error %? terminating service thread.\n") % error).str());
            report_status();  // still running
            return;
        }
    }
    service_status.dwWin32ExitCode = 0;
    service_status.dwCurrentState = SERVICE_STOPPED;
    report_status();
}

}  // namespace

void WINAPI service_main(DWORD, LPWSTR*) {
    service_status = SERVICE_STATUS();
    service_status_handle =
        ::RegisterServiceCtrlHandlerExW(app_config.service_name.c_str(), &service_ctrl_handler, nullptr);
    if (!service_status_handle) {
        const DWORD error = ::GetLastError();
        log((cl::wformat(L"RegisterServiceCtrlHandlerEx error %?\n") % error).str());
        return;
    }
    service_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    service_status.dwCurrentState = SERVICE_START_PENDING;
    service_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    if (!::SetServiceStatus(service_status_handle, &service_status)) return;

    service_thread = ::CreateThread(nullptr, 0, &service_thread_proc, nullptr, 0, nullptr);
    if (!service_thread) {
        service_status.dwCurrentState = SERVICE_STOPPED;
        service_status.dwWin32ExitCode = 0xFFFFFFFF;
        service_status.dwServiceSpecificExitCode = 1;
    } else {
        service_status.dwCurrentState = SERVICE_RUNNING;
    }
    service_status.dwCheckPoint = 0;
    service_status.dwWaitHint = 0;
    report_status();
}

DWORD WINAPI service_ctrl_handler(DWORD control, DWORD, LPVOID, LPVOID) {
    service_status.dwCheckPoint = 0;
    service_status.dwWaitHint = 0;
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
    try {
        start_watching();
        run_main_window();
    } catch (...) {
        // Only memory exhaustion can get here; the thread ends and a stop finds it ended.
    }
    return 0;
}

}  // namespace tolvarn
