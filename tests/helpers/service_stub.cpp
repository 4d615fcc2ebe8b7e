// service_stub.exe [STOP_MS]: a minimal service for the installer's tests. A stop (or shut-down) gets
// stopped at once (STOP_MS 0, the default), stop pending (wait hint 100 ms) and stopped STOP_MS later,
// or, for -1, stop pending with an endless wait hint for ever. Other controls get 120.
#include <windows.h>

#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE handle = nullptr;
SERVICE_STATUS status = {SERVICE_WIN32_OWN_PROCESS, 0, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN, 0, 0, 0, 0};
long stop_ms = 0;

void report(DWORD state) {
    status.dwCurrentState = state;
    status.dwWaitHint = state != SERVICE_STOP_PENDING ? 0 : stop_ms < 0 ? INFINITE : 100;
    ::SetServiceStatus(handle, &status);
}

DWORD WINAPI stop_later(LPVOID) {
    ::Sleep(static_cast<DWORD>(stop_ms));
    report(SERVICE_STOPPED);
    return 0;
}

DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) return ERROR_CALL_NOT_IMPLEMENTED;
    if (status.dwCurrentState != SERVICE_RUNNING) return NO_ERROR;
    report(stop_ms == 0 ? SERVICE_STOPPED : SERVICE_STOP_PENDING);
    if (stop_ms > 0) ::CloseHandle(::CreateThread(nullptr, 0, &stop_later, nullptr, 0, nullptr));
    return NO_ERROR;
}

void WINAPI service_main(DWORD, LPWSTR* argv) {
    handle = ::RegisterServiceCtrlHandlerExW(argv[0], &handler, nullptr);
    if (handle) report(SERVICE_RUNNING);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    stop_ms = std::wcstol(arguments, nullptr, 10);
    wchar_t name[] = L"service_stub";  // unused for a service of its own process
    SERVICE_TABLE_ENTRYW table[] = {{name, &service_main}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
