#include "cl/service/install_service.h"

#include "cl/base/unique_handle.h"
#include "cl/errtext/error_text.h"
#include "cl/format/convert.h"
#include "cl/format/format.h"

namespace cl {

namespace {

// The four functions of the state query, looked up in advapi32 at run time so that the query
// answers false instead of failing to load on a system that lacks them.
struct service_api {
    using open_manager_fn = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    using open_service_fn = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCWSTR, DWORD);
    using query_status_fn = BOOL(WINAPI*)(SC_HANDLE, LPSERVICE_STATUS);
    using close_handle_fn = BOOL(WINAPI*)(SC_HANDLE);

    open_manager_fn open_manager = nullptr;
    open_service_fn open_service = nullptr;
    query_status_fn query_status = nullptr;
    close_handle_fn close_handle = nullptr;

    bool complete() const { return open_manager && open_service && query_status && close_handle; }
};

template <class Fn>
Fn lookup(HMODULE module, const char* name) {
    // Through void(*)(): a cast between unrelated function pointer types draws a warning.
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

// Looked up once per process, on first use; the module stays loaded for the process's life.
const service_api& api() {
    static const service_api functions = [] {
        service_api f;
        const HMODULE module = ::LoadLibraryW(L"ADVAPI32.DLL");
        f.open_manager = lookup<service_api::open_manager_fn>(module, "OpenSCManagerA");
        f.open_service = lookup<service_api::open_service_fn>(module, "OpenServiceW");
        f.query_status = lookup<service_api::query_status_fn>(module, "QueryServiceStatus");
        f.close_handle = lookup<service_api::close_handle_fn>(module, "CloseServiceHandle");
        return f;
    }();
    return functions;
}

struct looked_up_service_handle_traits {
    using value_type = SC_HANDLE;
    static SC_HANDLE invalid() noexcept { return nullptr; }
    static void close(SC_HANDLE h) noexcept { api().close_handle(h); }
};
using looked_up_service_handle = unique_handle<looked_up_service_handle_traits>;

}  // namespace

bool query_service_state(const wchar_t* name, DWORD& state) {
    const service_api& f = api();
    if (!f.complete()) return false;
    looked_up_service_handle manager(f.open_manager(nullptr, nullptr, STANDARD_RIGHTS_READ));
    if (!manager) return false;
    looked_up_service_handle service(f.open_service(manager.get(), name, SERVICE_QUERY_STATUS));
    if (!service) return false;
    SERVICE_STATUS status = {};
    if (!f.query_status(service.get(), &status)) return false;
    state = status.dwCurrentState;
    return true;
}

std::string service_status_text(const wchar_t* name) {
    // The log is UTF-8: a name beyond ASCII must not come out in the ANSI code page.
    const std::string narrow_name = narrow(name, UINT(CP_UTF8));
    DWORD state = 0;
    if (!query_service_state(name, state)) return (format("%? service status: query failed\n") % narrow_name).str();
    return (format("%? service status: %?\n") % narrow_name % service_state_name(state)).str();
}

}  // namespace cl
