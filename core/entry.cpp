#include "core/entry.h"

#include "cl/base/unique_handle.h"
#include "cl/format/format.h"
#include "cl/sysinfo/sysinfo.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"
#include "core/app_config.h"
#include "core/command_line.h"
#include "core/config.h"
#include "core/main_wnd.h"
#include "core/module_directory.h"
#include "core/process_probe.h"
#include "core/text_util.h"
#include "core/service_control.h"
#include "core/service_host.h"
#include "core/watch_cycle.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace tolvarn {

namespace {

void log(const wchar_t* text) { cl::trace_write(&cl::g_trace_out, text); }

int stop_application() {
    HWND window = ::FindWindowW(nullptr, app_config.product_name.c_str());
    if (window) ::SendMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

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
    if (!equals_nocase(parent_process_name(), L"services.exe")) {
        run_application();
        return 0;
    }
    std::vector<wchar_t> name(app_config.service_name.begin(), app_config.service_name.end());
    name.push_back(L'\0');
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), &service_main}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table)) return 0;
    if (::GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        run_application();
        return 0;
    }
    return -1;
}

}  // namespace

int run_program() {
    load_config(app_config);
    cl::g_file_trace.set_file_name(module_directory() + app_config.log_name);
    if (!cl::sysinfo().xp_or_later) {
        log(L"Operating system not supported.\n");
        return -1;
    }
    return dispatch_command_line(skip_program_name(::GetCommandLineW()));
}

int dispatch_command_line(const wchar_t* arguments) {
    if (find_option(arguments, L"-stop_appl") != std::wstring::npos) return stop_application();
    if (find_option(arguments, L"-start_service") != std::wstring::npos) {
        if (start_own_service()) return 0;
        log(L"You need administrator privileges to start a service.\n");
        return -1;
    }
    if (find_option(arguments, L"-stop_service") != std::wstring::npos) {
        if (stop_own_service()) return 0;
        log(L"You need administrator privileges to stop a service.\n");
        return -1;
    }
    return run_watchdog();
}

void run_application() {
    start_watching();
    run_main_window();
}

void run_main_window() {
    std::unique_ptr<main_wnd> window(new main_wnd());
    if (!window->create(app_config.product_name)) {
        // Without its window the program could never be closed: stop at once instead.
        const DWORD error = ::GetLastError();
        cl::trace_write(&cl::g_trace_out, (cl::wformat(L"Cannot create the main window (error %?).\n") % error).str());
        stop_watching();
        return;
    }
    window->run_message_loop();
}

}  // namespace tolvarn
