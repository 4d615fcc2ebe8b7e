#include "cl/service/install_service.h"

#include "cl/file/file_hnd.h"
#include "cl/format/format.h"
#include "cl/service/service_handle.h"
#include "cl/trace/trace.h"

#include <vector>

namespace cl {

namespace {

constexpr DWORD stop_timeout_ms = 10000;
constexpr DWORD writable_poll_ms = 400;
constexpr int writable_polls = 450;  // 180,000 ms in all
constexpr DWORD gone_first_delay_ms = 10;
constexpr DWORD gone_last_delay_ms = 1280;
constexpr DWORD first_restart_ms = 10000;  // after the first and the second failure
constexpr DWORD later_restart_ms = 60000;  // after every further one
constexpr DWORD failure_reset_s = 86400;   // failures counted over a day

void say(const wchar_t* text) { trace_write(&g_trace_out, text); }
void say(const std::wstring& text) { trace_write(&g_trace_out, text); }
void say_error(const wchar_t* fmt, DWORD error) { say((wformat(fmt) % static_cast<unsigned long>(error)).str()); }

bool timed_out(DWORD start, DWORD timeout_ms) {
    // Unsigned difference: correct across the wrap-around of the tick count.
    if (::GetTickCount() - start <= timeout_ms) return false;
    ::SetLastError(WAIT_TIMEOUT);
    return true;
}

// Sleeps the service's wait hint, but never past the caller's deadline: a hint of hours (or
// INFINITE) must not hold the installer longer than its time-out.
void sleep_hint(DWORD hint, DWORD start, DWORD timeout_ms) {
    const DWORD spent = ::GetTickCount() - start;
    const DWORD left = spent >= timeout_ms ? 0 : timeout_ms - spent;
    ::Sleep(hint <= left ? hint : left + 1);
}

// The stored program path of `service`; empty when it cannot be read.
std::wstring stored_path(SC_HANDLE service) {
    DWORD needed = 0;
    ::QueryServiceConfigW(service, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service, config, needed, &needed) || !config->lpBinaryPathName) return std::wstring();
    return config->lpBinaryPathName;
}

// An existing service is this program's own when its stored path names `path`, quoted or not
// (letter case aside). Only then may the installer change more than the description.
bool runs_program(const std::wstring& stored, const wchar_t* path) {
    if (!path || stored.empty()) return false;
    const std::wstring quoted = quote_service_path(path);
    for (const std::wstring& form : {std::wstring(path), quoted})
        if (::CompareStringOrdinal(stored.c_str(), -1, form.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    return false;
}

bool open_for_writing(const std::wstring& path) {
    file_hnd file;
    return file.open(path, o_wronly | o_binary, sh_denyno);
}

// Creates the service unless it exists, sets its description and starts it; false only when it
// had to be created and could not be.
bool install_steps(SC_HANDLE manager, unique_service_handle service, const wchar_t* name,
                   const wchar_t* display_name, const wchar_t* description, const wchar_t* path,
                   DWORD service_type) {
    bool result = true;
    bool own = false;
    if (!service) {
        say(L"creating service+\n");
        // An unquoted path with a space would let the manager start "C:\Program.exe" and the like
        // under the local system account first.
        const std::wstring binary = quote_service_path(path);
        service.reset(::CreateServiceW(manager, name, display_name, SERVICE_ALL_ACCESS, service_type,
                                       SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       path ? binary.c_str() : nullptr, nullptr, nullptr, nullptr,
                                       nullptr, L""));
        if (!service) {
            say_error(L"CreateService failed: %?\n", ::GetLastError());
            result = false;
        }
        own = static_cast<bool>(service);
        say(L"creating service-\n");
    } else {
        say(L"not creating service, service already there!\n");
        const std::wstring stored = stored_path(service.get());
        own = runs_program(stored, path);
        // A service created by another installer (one that stores the bare path) gets the quotes
        // before it is started from here.
        const std::wstring quoted = quote_service_path(path);
        if (own && stored != quoted &&
            !::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                    quoted.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            say_error(L"ChangeServiceConfig failed: %?\n", ::GetLastError());
    }
    if (service) {
        SERVICE_DESCRIPTIONW text = {const_cast<wchar_t*>(description)};
        ::ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &text);
        if (own && !set_restart_on_failure(service.get()))
            say_error(L"Setting recovery actions failed: %?\n", ::GetLastError());
        say(L"starting service+\n");
        if (!::StartServiceA(service.get(), 0, nullptr)) say_error(L"StartService failed: %?\n", ::GetLastError());
        say(L"starting service-\n");
        service.reset();
    }
    say(L"opening service-\n");
    return result;
}

void remove_steps(SC_HANDLE manager, unique_service_handle service, const wchar_t* name, const wchar_t* path) {
    say(L"stopping service\n");
    if (!stop_service_and_wait(service.get(), stop_timeout_ms))
        say_error(L"stop_service failed: %?\n", ::GetLastError());

    if (path) {
        say((wformat(L"waiting until '%?' is writable...\n") % path).str());
        bool writable = is_file_writable(path);
        for (int i = 0; !writable && i < writable_polls; ++i) {
            ::Sleep(writable_poll_ms);
            writable = is_file_writable(path);
        }
        say(writable ? L"finished: file is writable\n" : L"timeout: file still not writable\n");
    }

    say(L"deleting service\n");
    if (!::DeleteService(service.get())) say_error(L"DeleteService failed: %?\n", ::GetLastError());
    // The manager removes a service marked for deletion only once every handle to it is closed.
    service.reset();
    say(L"opening service-\n");
    say(wait_service_gone(manager, name) ? L"service deleted and gone\n" : L"service still there!\n");
}

}  // namespace

bool install_service(const wchar_t* name, const wchar_t* display_name, const wchar_t* description,
                     const wchar_t* path, DWORD service_type, bool install) {
    say((wformat(L"%?nstalling service+ (%?)\n") % (install ? L"I" : L"Dei") % (name ? name : L"")).str());
    unique_service_handle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        say_error(L"OpenSCManager failed: %?\n", ::GetLastError());
        return false;
    }

    say(L"opening service+\n");
    unique_service_handle service(::OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS));
    const DWORD open_error = service ? 0 : ::GetLastError();
    bool result = true;
    if (install) {
        result = install_steps(manager.get(), std::move(service), name, display_name, description, path,
                               service_type);
    } else if (service) {
        remove_steps(manager.get(), std::move(service), name, path);
    } else if (open_error != ERROR_SERVICE_DOES_NOT_EXIST) {
        // Only a service that is not there counts as removed; one that exists but cannot be
        // opened (no access, a bad name) is still installed.
        say_error(L"OpenService failed: %?\n", open_error);
        result = false;
    }

    manager.reset();
    say(L"Installing service-\n");
    trace_write(&g_trace_out, service_status_text(name));
    return result;
}

bool stop_service_and_wait(SC_HANDLE service, DWORD timeout_ms) {
    const DWORD start = ::GetTickCount();
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;

    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        sleep_hint(status.dwWaitHint, start, timeout_ms);
        if (!::QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == SERVICE_STOPPED) return true;
        if (timed_out(start, timeout_ms)) return false;
    }

    if (!::ControlService(service, SERVICE_CONTROL_STOP, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    for (;;) {
        sleep_hint(status.dwWaitHint, start, timeout_ms);
        if (!::QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == SERVICE_STOPPED) return true;
        if (timed_out(start, timeout_ms)) return false;
    }
}

bool set_restart_on_failure(SC_HANDLE service) {
    SC_ACTION actions[] = {{SC_ACTION_RESTART, first_restart_ms}, {SC_ACTION_RESTART, first_restart_ms},
                           {SC_ACTION_RESTART, later_restart_ms}};
    SERVICE_FAILURE_ACTIONSW failure = {failure_reset_s, nullptr, nullptr, 3, actions};
    if (!::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) return false;
    // Without the flag the manager acts only when the process dies, not when the service reports
    // stopped with an error code. Systems before Vista lack the setting (error 124): there the
    // restart after a crash is all there is.
    SERVICE_FAILURE_ACTIONS_FLAG flag = {TRUE};
    return ::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) ||
           ::GetLastError() == ERROR_INVALID_LEVEL;
}

bool wait_service_gone(SC_HANDLE manager, const wchar_t* name) {
    for (DWORD delay = gone_first_delay_ms; delay <= gone_last_delay_ms; delay *= 2) {
        ::Sleep(delay);
        unique_service_handle service(::OpenServiceW(manager, name, SERVICE_ALL_ACCESS));
        if (!service) return true;
    }
    return false;
}

bool is_file_writable(const wchar_t* path) {
    if (!path) return false;
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (open_for_writing(path)) return true;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return false;

    DWORD cleared = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (cleared == 0) cleared = FILE_ATTRIBUTE_NORMAL;
    ::SetFileAttributesW(path, cleared);
    const bool writable = open_for_writing(path);
    ::SetFileAttributesW(path, attributes);
    return writable;
}

std::wstring quote_service_path(const wchar_t* path) {
    if (!path) return std::wstring();
    std::wstring text(path);
    if (text.empty() || text[0] == L'"' || text.find_first_of(L" \t") == std::wstring::npos) return text;
    return L"\"" + text + L"\"";
}

}  // namespace cl
