#include "core/entry.h"

#include "cl/base/unique_handle.h"
#include "cl/format/format.h"
#include "cl/sysinfo/sysinfo.h"
#include "cl/trace/file_trace.h"
#include "core/app_config.h"
#include "core/command_line.h"
#include "core/config.h"
#include "core/log.h"
#include "core/main_wnd.h"
#include "core/module_directory.h"
#include "core/process_probe.h"
#include "core/service_control.h"
#include "core/service_host.h"
#include "core/text_util.h"
#include "core/watch_cycle.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace tolvarn {

namespace {

// The single-instance mutex stays owned until the process ends.
cl::unique_kernel_handle instance_mutex;

int run_watchdog() {
    instance_mutex.reset(::CreateMutexW(nullptr, FALSE, app_config.mutex_name.c_str()));
    if (!instance_mutex || ::WaitForSingleObject(instance_mutex.get(), 0) != WAIT_OBJECT_0) {
        log(L"Program is already running.\n");
        return -1;
    }

    // Only a process created by the service control manager can connect to it. Asking the
    // dispatcher from any other process is answered with ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
    // on Windows, but some implementations of the manager (Wine's) connect such a process to the
    // control pipe of the service started last, or wait for that pipe forever; so a process that
    // the manager did not create goes to application mode at once, as the error would send it.
    if (!equals_nocase(parent_process_name(), L"services.exe")) return run_application() ? 0 : -1;
    std::vector<wchar_t> name(app_config.service_name.begin(), app_config.service_name.end());
    name.push_back(L'\0');
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), &service_main}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table)) return 0;
    if (::GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return run_application() ? 0 : -1;
    return -1;
}

}  // namespace

int run_program() {
    load_config(app_config);
    cl::g_file_trace.set_file_name(module_directory() + app_config.log_name);
    // The trace's rotation never deletes the live log: a move that fails is retried later.
    if (app_config.log_max_kb != 0)
        cl::g_file_trace.set_backup_file(module_directory() + app_config.log_backup_name,
                                         static_cast<std::int64_t>(app_config.log_max_kb) * 1024);
    if (!cl::sysinfo().xp_or_later) {
        log(L"Operating system not supported.\n");
        return -1;
    }
    return dispatch_command_line(skip_program_name(::GetCommandLineW()));
}

int dispatch_command_line(const wchar_t* arguments) {
    switch (choose_command(arguments)) {
    case command::stop_appl:
        // Exit code 0 also when no copy runs or its window did not take the message in time.
        close_main_window(app_config.product_name, stop_appl_timeout_ms);
        return 0;
    case command::start_service:
        if (start_own_service()) return 0;
        log(L"You need administrator privileges to start a service.\n");
        return -1;
    case command::stop_service:
        if (stop_own_service()) return 0;
        log(L"You need administrator privileges to stop a service.\n");
        return -1;
    case command::run:
        break;
    }
    return run_watchdog();
}

bool run_application() { return run_main_window(&start_watching); }

bool run_main_window(void (*started)()) {
    std::unique_ptr<main_wnd> window(new main_wnd());
    if (!window->create(app_config.product_name)) {
        // Without its window the program could never be closed: stop at once instead.
        const DWORD error = ::GetLastError();
        log((cl::wformat(L"Cannot create the main window (error %?).\n") % error).str());
        return false;
    }
    // The window exists before the watching starts, so a close that comes from now on finds it.
    if (started != nullptr) started();
    window->run_message_loop();
    return true;
}

}  // namespace tolvarn
