// Direct calls to the service control manager for tests that install services: open, create, read
// and remove a service whatever its state, so that no test leaves one behind. Used by the
// installer's tests and the end-to-end tests.
#pragma once

#include "cl/service/service_handle.h"
#include "support/support.h"

#include <windows.h>

#include <vector>

namespace scm_test {

using handle = cl::unique_service_handle;
inline handle manager() { return handle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }
inline handle open_service(const wchar_t* name, DWORD access = SERVICE_ALL_ACCESS) {
    return handle(::OpenServiceW(manager().get(), name, access));
}
inline bool service_exists(const wchar_t* name) { return static_cast<bool>(open_service(name)); }

// The service's status; all 0 when it cannot be read.
inline SERVICE_STATUS_PROCESS status_of(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS s = {};
    DWORD n = 0;
    if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s, &n)) s = {};
    return s;
}
inline DWORD state_of(const wchar_t* name) { return status_of(open_service(name).get()).dwCurrentState; }
inline bool reaches(const wchar_t* name, DWORD s) { return ts::wait_until([&] { return state_of(name) == s; }); }

// Stops (ending its process when it will not stop, at once when a stop is already under way),
// deletes the service `name` and waits until the manager has forgotten it. Quiet without one.
inline void remove_service(const wchar_t* name) {
    handle s = open_service(name);
    const bool pending = status_of(s.get()).dwCurrentState == SERVICE_STOP_PENDING;
    SERVICE_STATUS ignored;
    if (s && !pending) ::ControlService(s.get(), SERVICE_CONTROL_STOP, &ignored);
    if (s && !ts::wait_until([&] { return state_of(name) == SERVICE_STOPPED; }, pending ? 0 : 5000)) {
        const HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status_of(s.get()).dwProcessId);
        if (p && ::TerminateProcess(p, 1)) ::WaitForSingleObject(p, 10000);
        if (p) ::CloseHandle(p);
    }
    if (s) ::DeleteService(s.get());
    s.reset();
    ts::wait_until([&] { return !service_exists(name); }, 10000);
}

// Creates an own-process, demand-start service running `command_line`; empty on failure.
inline handle create_service(const wchar_t* name, const std::wstring& command_line) {
    return handle(::CreateServiceW(manager().get(), name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command_line.c_str(), nullptr, nullptr,
                                   nullptr, nullptr, nullptr));
}

// QueryServiceConfigW (level 0) or QueryServiceConfig2W (`level`) of the service as its buffer;
// empty when it cannot be read.
inline std::vector<BYTE> config_of(const wchar_t* name, DWORD level = 0) {
    const handle s = open_service(name);
    DWORD n = 0;
    auto query = [&](BYTE* out) {
        return level ? ::QueryServiceConfig2W(s.get(), level, out, n, &n)
                     : ::QueryServiceConfigW(s.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(out), n, &n);
    };
    std::vector<BYTE> b(query(nullptr) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER ? 0 : n);
    if (b.empty() || !query(b.data())) b.clear();
    return b;
}

inline std::wstring binary_path_of(const wchar_t* name) {
    const auto b = config_of(name);
    return b.empty() ? L"" : reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(b.data())->lpBinaryPathName;
}
inline std::wstring description_of(const wchar_t* name) {
    const auto d = config_of(name, SERVICE_CONFIG_DESCRIPTION);
    const wchar_t* text = d.empty() ? nullptr : reinterpret_cast<const SERVICE_DESCRIPTIONW*>(d.data())->lpDescription;
    return text ? text : L"";
}

// The configuration on one line: "type start error-control account|display name|path|description".
inline std::wstring config_text(const wchar_t* name) {
    const auto b = config_of(name);
    const auto* c = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(b.data());
    return b.empty() ? L"<none>"
                     : std::to_wstring(c->dwServiceType) + L" " + std::to_wstring(c->dwStartType) + L" " +
                           std::to_wstring(c->dwErrorControl) + L" " + c->lpServiceStartName + L"|" +
                           c->lpDisplayName + L"|" + c->lpBinaryPathName + L"|" + description_of(name);
}

}  // namespace scm_test
