// service_stub.exe: a minimal Windows service for tests of the service installer. It connects to
// the service control manager, reports running, and answers a stop as told:
//   --stop-delay-ms N   reports stop pending first and stopped N milliseconds later (default 0:
//                       stopped at once)
//   --wait-hint N       the wait hint reported with stop pending (default 0)
//   --never-stop        reports stop pending on a stop and never ends by itself
// Interrogate is answered with the current status; other controls with ERROR_CALL_NOT_IMPLEMENTED.
// Started outside the service control manager it ends with exit code 1; bad arguments give 2.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

SERVICE_STATUS_HANDLE status_handle = nullptr;
SERVICE_STATUS status = {};
DWORD stop_delay_ms = 0;
DWORD wait_hint = 0;
bool never_stop = false;
HANDLE stop_requested = nullptr;

void report(DWORD state) {
    status.dwCurrentState = state;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? wait_hint : 0;
    ::SetServiceStatus(status_handle, &status);
}

DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        if (status.dwCurrentState == SERVICE_STOP_PENDING) return NO_ERROR;
        if (never_stop || stop_delay_ms > 0) {
            report(SERVICE_STOP_PENDING);
            if (!never_stop) ::SetEvent(stop_requested);
        } else {
            report(SERVICE_STOPPED);
        }
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        ::SetServiceStatus(status_handle, &status);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

DWORD WINAPI delayed_stop(LPVOID) {
    ::WaitForSingleObject(stop_requested, INFINITE);
    ::Sleep(stop_delay_ms);
    report(SERVICE_STOPPED);
    return 0;
}

void WINAPI service_main(DWORD, LPWSTR* argv) {
    status_handle = ::RegisterServiceCtrlHandlerExW(argv[0], &handler, nullptr);
    if (!status_handle) return;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    stop_requested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop_delay_ms > 0) {
        HANDLE thread = ::CreateThread(nullptr, 0, &delayed_stop, nullptr, 0, nullptr);
        if (thread) ::CloseHandle(thread);
    }
    report(SERVICE_RUNNING);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr) return 2;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--never-stop") {
            never_stop = true;
        } else if (i + 1 < argc && arg == L"--stop-delay-ms") {
            stop_delay_ms = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (i + 1 < argc && arg == L"--wait-hint") {
            wait_hint = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else {
            ::LocalFree(argv);
            return 2;
        }
    }
    ::LocalFree(argv);

    // The name is not used for a service of its own process: the manager starts the only entry.
    wchar_t name[] = L"service_stub";
    SERVICE_TABLE_ENTRYW table[] = {{name, &service_main}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
