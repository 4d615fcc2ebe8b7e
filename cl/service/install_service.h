// Installing, starting, stopping and removing a Windows service through the service control
// manager, with every step narrated to cl::g_trace_out.
//
// All functions are meant for a short command-line run on one thread: they hold their handles
// only for the length of a call and wait with plain sleeps. Errors are reported as bool; where a
// function fails, GetLastError() holds the reason (258, WAIT_TIMEOUT, for a time-out).
#pragma once

#include <windows.h>

#include <string>

namespace cl {

// With `install` true: creates the service unless it exists (own-process or the given type,
// automatic start, normal error control, local system account, `path` as its program, quoted when
// it holds white space), sets its description and starts it. A service it created, or an existing
// one whose program is `path`, also gets the quotes it lacks and the recovery of
// set_restart_on_failure (a failure there is logged and does not change the answer); any other
// existing service keeps all but its description. With `install` false: stops the
// service, waits until `path` (when given) is writable, deletes the service and waits until it is
// gone. Ends with "Installing service-" and the service's state line. False when the manager
// cannot be opened, the service cannot be created, or (removing) cannot be opened for a reason
// other than not existing; a failed start, stop or delete is logged and still answers true.
bool install_service(const wchar_t* name, const wchar_t* display_name, const wchar_t* description,
                     const wchar_t* path, DWORD service_type, bool install);

// Stops the service (waiting for a stop already under way first) and polls it every wait hint
// until it is stopped: true then; false when a query or the stop control fails (GetLastError()
// from that call) or when more than `timeout_ms` pass (GetLastError() 258).
bool stop_service_and_wait(SC_HANDLE service, DWORD timeout_ms);

// Lets the manager restart the service 10 s after its first and second failure and 60 s after
// every further one, counting failures over a day; a failure is a process that dies or a service
// that reports stopped with an error code. False (GetLastError()) when the manager refuses; the
// second setting alone is skipped silently on systems that lack it.
bool set_restart_on_failure(SC_HANDLE service);

// True once `name` can no longer be opened in `manager`; tries eight times over about 2.5 s.
bool wait_service_gone(SC_HANDLE manager, const wchar_t* name);

// True when `path` names an existing file (not a directory) that can be opened for writing with
// read and write sharing, if need be after clearing its read-only attribute, which is restored.
// A null path is not writable.
bool is_file_writable(const wchar_t* path);

// `path` as the service control manager should get it: in double quotes when it holds a space or
// a tab and does not start with a quote already, otherwise unchanged. A null path gives "".
std::wstring quote_service_path(const wchar_t* path);

// One finished log line: "<name> service status: <state name>\n", or
// "<name> service status: query failed\n" when the state cannot be read.
std::string service_status_text(const wchar_t* name);

// The current state (SERVICE_RUNNING, ...) of the service `name`; false when it cannot be read
// (no such service, no access, or advapi32 lacks one of the functions used).
bool query_service_state(const wchar_t* name, DWORD& state);

}  // namespace cl
