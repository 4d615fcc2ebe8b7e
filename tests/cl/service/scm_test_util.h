// Direct calls to the service control manager for tests that install services: opening,
// creating, reading the configuration and status, and removing a service whatever its state, so
// that no test leaves a service behind. Used by the installer's tests and the end-to-end tests.
#pragma once

#include "cl/service/service_handle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace scm_test {

// Polls `condition` every 20 ms until it holds or `deadline_ms` have passed.
template <class F>
bool wait_until(F condition, DWORD deadline_ms = 30000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start > deadline_ms) return condition();
        ::Sleep(20);
    }
}

inline cl::unique_service_handle open_manager() {
    return cl::unique_service_handle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

inline cl::unique_service_handle open_service(const wchar_t* name) {
    cl::unique_service_handle manager = open_manager();
    return cl::unique_service_handle(manager ? ::OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS) : nullptr);
}

inline bool service_exists(const wchar_t* name) { return static_cast<bool>(open_service(name)); }

// The service's status; dwCurrentState 0 when it cannot be read.
inline SERVICE_STATUS_PROCESS status_of(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                &needed))
        status.dwCurrentState = 0;
    return status;
}

inline DWORD state_of(const wchar_t* name) {
    cl::unique_service_handle service = open_service(name);
    return service ? status_of(service.get()).dwCurrentState : 0;
}

// Stops (ending its process when it will not stop) and deletes the service `name`, and waits
// until the manager has forgotten it. Quiet when there is no such service.
inline void remove_service(const wchar_t* name) {
    cl::unique_service_handle service = open_service(name);
    if (!service) return;
    SERVICE_STATUS status = {};
    const DWORD state = status_of(service.get()).dwCurrentState;
    if (state != SERVICE_STOPPED) {
        // A stop already under way in a test service is one that was told never to end.
        if (state != SERVICE_STOP_PENDING) ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        if (!wait_until([&] { return status_of(service.get()).dwCurrentState == SERVICE_STOPPED; },
                        state == SERVICE_STOP_PENDING ? 0 : 5000)) {
            const DWORD pid = status_of(service.get()).dwProcessId;
            if (HANDLE process = pid ? ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid) : nullptr) {
                ::TerminateProcess(process, 1);
                ::WaitForSingleObject(process, 10000);
                ::CloseHandle(process);
            }
            // Not waited for: some managers leave a service whose process died in its last state.
        }
    }
    ::DeleteService(service.get());
    service.reset();
    wait_until([&] { return !service_exists(name); }, 10000);
}

// Creates an own-process, demand-start service running `command_line`; empty handle on failure.
inline cl::unique_service_handle create_service(const wchar_t* name, const std::wstring& command_line) {
    cl::unique_service_handle manager = open_manager();
    if (!manager) return cl::unique_service_handle();
    return cl::unique_service_handle(::CreateServiceW(manager.get(), name, name, SERVICE_ALL_ACCESS,
                                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                      SERVICE_ERROR_NORMAL, command_line.c_str(), nullptr, nullptr,
                                                      nullptr, nullptr, nullptr));
}

// The configured program path of a service; empty when it cannot be read.
inline std::wstring binary_path_of(const wchar_t* name) {
    cl::unique_service_handle service = open_service(name);
    if (!service) return std::wstring();
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.get(), config, needed, &needed) || !config->lpBinaryPathName) return {};
    return config->lpBinaryPathName;
}

inline std::wstring description_of(const wchar_t* name) {
    cl::unique_service_handle service = open_service(name);
    if (!service) return std::wstring();
    DWORD needed = 0;
    ::QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data());
    if (!::QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(), needed, &needed) ||
        !description->lpDescription)
        return std::wstring();
    return description->lpDescription;
}

}  // namespace scm_test
