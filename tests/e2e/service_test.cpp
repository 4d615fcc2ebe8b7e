// End-to-end tests of the watchdog as a Windows service: the real tolvarn.exe installs, starts,
// stops and removes its service "tolvarn" in the service control manager, and the service runs the
// same watch cycle as the application. The test folder's path holds a space, so every test also
// sees that the service's program path is quoted.
#include "e2e/watchdog_fixture.h"

#include "cl/service/scm_test_util.h"

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {
namespace {

const wchar_t* const service_name = L"tolvarn";
const char* const description =
    "This service checks continuously if specified programs are running, and if not, it takes given actions "
    "like restaring the programs or sending an e-mail.";

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

class service : public watchdog_test {
protected:
    service() { dir_suffix_ = L" service"; }

    // No test may find or leave a service "tolvarn" in the prefix, whatever happened.
    void SetUp() override {
        scm_test::remove_service(service_name);
        ASSERT_FALSE(scm_test::service_exists(service_name)) << "a service tolvarn is left from elsewhere";
        watchdog_test::SetUp();
        // Without a configuration the watchdog says so in the log; the tests want only the
        // installer's lines there.
        write_ini("[tolvarn]\r\n");
    }
    void TearDown() override {
        scm_test::remove_service(service_name);
        EXPECT_FALSE(scm_test::service_exists(service_name));
        watchdog_test::TearDown();
    }

    // A copy of sleeper.exe as watched.exe, watched every second and started again when missing.
    void watch_a_sleeper() {
        copy_program(L"sleeper.exe", L"watched.exe");
        command_ = "\"" + utf8(path(L"watched.exe")) + "\"";
        write_ini("[watched.exe]\r\ninterval=1\r\ncall=" + command_ + "\r\n");
    }

    // Runs tolvarn.exe with `option`; answers its exit code and, in `lines`, the installer's
    // narration of that run (the service's own watch-cycle lines and the start separators left out).
    DWORD run(const wchar_t* option, std::vector<std::string>& lines) {
        const std::size_t before = log_messages().size();
        const DWORD code = run_watchdog(option);
        lines.clear();
        const auto messages = log_messages();
        for (std::size_t i = before; i < messages.size(); ++i) {
            const std::string& m = messages[i];
            if (m.empty() || m == std::string(64, '-') || starts_with(m, "Program ") || starts_with(m, "Calling ") ||
                starts_with(m, "Setting "))
                continue;
            lines.push_back(m);
        }
        return code;
    }

    // A handle on the service's process (empty when it has none).
    cl::unique_kernel_handle service_process() const {
        cl::unique_service_handle svc = scm_test::open_service(service_name);
        const DWORD pid = svc ? scm_test::status_of(svc.get()).dwProcessId : 0;
        return cl::unique_kernel_handle(
            pid ? ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid) : nullptr);
    }

    bool service_running() const { return scm_test::state_of(service_name) == SERVICE_RUNNING; }

    std::string command_;
};

const std::vector<std::string> install_lines = {
    "Installing service+ (tolvarn)", "opening service+", "creating service+", "creating service-",
    "starting service+", "starting service-", "opening service-", "Installing service-"};
const std::vector<std::string> remove_lines = {
    "Deinstalling service+ (tolvarn)", "opening service+", "stopping service", "deleting service",
    "opening service-", "service deleted and gone", "Installing service-", "tolvarn service status: query failed"};

TEST_F(service, start_service_installs_and_starts_it_and_stop_service_removes_it) {
    watch_a_sleeper();
    std::vector<std::string> lines;
    ASSERT_EQ(run(L"-start_service", lines), 0u);
    ASSERT_EQ(lines.size(), install_lines.size() + 1);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1), install_lines);
    // The state reached when the run ended.
    EXPECT_TRUE(lines.back() == "tolvarn service status: running" ||
                lines.back() == "tolvarn service status: start pending")
        << lines.back();

    // As the control manager sees it.
    cl::unique_service_handle svc = scm_test::open_service(service_name);
    ASSERT_TRUE(svc);
    DWORD needed = 0;
    ::QueryServiceConfigW(svc.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(::QueryServiceConfigW(svc.get(), config, needed, &needed));
    EXPECT_EQ(config->dwServiceType, 16u);
    EXPECT_EQ(config->dwStartType, 2u);
    EXPECT_EQ(config->dwErrorControl, 1u);
    EXPECT_EQ(utf8(config->lpServiceStartName ? config->lpServiceStartName : L""), "LocalSystem");
    EXPECT_EQ(utf8(config->lpDisplayName), "Tolvarn Watchdog Service");
    EXPECT_EQ(utf8(config->lpBinaryPathName), "\"" + utf8(path(L"tolvarn.exe")) + "\"");
    EXPECT_EQ(utf8(scm_test::description_of(service_name)), description);
    svc.reset();

    // The service runs the watchdog: its checks and restarts. (Its hidden window lives on the
    // services' own desktop, out of reach of FindWindowW from here.)
    ASSERT_TRUE(wait_until([&] { return service_running(); }));
    cl::unique_kernel_handle process = service_process();
    ASSERT_TRUE(process);
    ASSERT_TRUE(wait_for_message("Program watched.exe is no longer running."));
    EXPECT_TRUE(wait_for_message("Calling " + command_));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));
    ASSERT_EQ(kill_processes(L"watched.exe"), 1);
    ASSERT_TRUE(wait_for_message("Program watched.exe is no longer running.", 2));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));

    // -stop_service: the handler closes the window, the worker ends and stopped is reported well
    // inside the installer's 10 s stop wait (and the host's 20 s), then the service is deleted.
    ASSERT_EQ(run(L"-stop_service", lines), 0u);
    EXPECT_EQ(lines, remove_lines);
    EXPECT_FALSE(scm_test::service_exists(service_name));
    EXPECT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    DWORD exit_code = STILL_ACTIVE;
    EXPECT_TRUE(::GetExitCodeProcess(process.get(), &exit_code));
    EXPECT_EQ(exit_code, 0u);
    EXPECT_EQ(message_count("Timed out waiting for service thread shutdown. Terminating thread."), 0);

    // The checks ended with the service.
    ASSERT_EQ(kill_processes(L"watched.exe"), 1);
    const int reported = message_count("Program watched.exe is no longer running.");
    ::Sleep(2500);
    EXPECT_EQ(message_count("Program watched.exe is no longer running."), reported);
    EXPECT_EQ(count_processes(L"watched.exe"), 0);
}

TEST_F(service, start_service_again_keeps_the_service_and_restores_its_description) {
    watch_a_sleeper();
    std::vector<std::string> lines;
    ASSERT_EQ(run(L"-start_service", lines), 0u);
    ASSERT_TRUE(wait_until([&] { return service_running(); }));
    {
        cl::unique_service_handle svc = scm_test::open_service(service_name);
        ASSERT_TRUE(svc);
        SERVICE_DESCRIPTIONW other = {const_cast<wchar_t*>(L"changed by someone")};
        ASSERT_TRUE(::ChangeServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, &other));
    }

    // Running: the start is refused as already running (1056), which still counts as success.
    ASSERT_EQ(run(L"-start_service", lines), 0u);
    const std::vector<std::string> again = {
        "Installing service+ (tolvarn)", "opening service+", "not creating service, service already there!",
        "starting service+", "StartService failed: 1056", "starting service-", "opening service-",
        "Installing service-", "tolvarn service status: running"};
    EXPECT_EQ(lines, again);
    EXPECT_EQ(utf8(scm_test::description_of(service_name)), description);
    EXPECT_EQ(count_processes(L"tolvarn.exe"), 1);

    // Stopped by the control manager: the worker ends without the 20 s termination, and a new
    // -start_service starts the existing service again.
    cl::unique_kernel_handle process = service_process();
    ASSERT_TRUE(process);
    {
        cl::unique_service_handle svc = scm_test::open_service(service_name);
        SERVICE_STATUS status = {};
        ASSERT_TRUE(::ControlService(svc.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
    }
    ASSERT_TRUE(wait_until([] { return scm_test::state_of(service_name) == SERVICE_STOPPED; }));
    EXPECT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(message_count("Timed out waiting for service thread shutdown. Terminating thread."), 0);

    ASSERT_EQ(run(L"-start_service", lines), 0u);
    ASSERT_EQ(lines.size(), 8u);
    const std::vector<std::string> restarted = {
        "Installing service+ (tolvarn)", "opening service+", "not creating service, service already there!",
        "starting service+", "starting service-", "opening service-", "Installing service-"};
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1), restarted);
    EXPECT_TRUE(wait_until([&] { return service_running(); }));

    ASSERT_EQ(run(L"-stop_service", lines), 0u);
    EXPECT_EQ(lines, remove_lines);
}

TEST_F(service, interrogate_answers_and_refused_controls_leave_it_running) {
    watch_a_sleeper();
    std::vector<std::string> lines;
    ASSERT_EQ(run(L"-start_service", lines), 0u);
    ASSERT_TRUE(wait_until([&] { return service_running(); }));
    cl::unique_service_handle svc = scm_test::open_service(service_name);
    ASSERT_TRUE(svc);

    SERVICE_STATUS status = {};
    ASSERT_TRUE(::ControlService(svc.get(), SERVICE_CONTROL_INTERROGATE, &status)) << ::GetLastError();
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
    EXPECT_EQ(status.dwServiceType, DWORD(SERVICE_WIN32_OWN_PROCESS));

    // Pause and continue are not accepted: the manager refuses them (1052) before the handler
    // would answer 120. A control of the service's own range reaches the handler, whose 120 the
    // manager may or may not pass on.
    for (DWORD control : {DWORD(SERVICE_CONTROL_PAUSE), DWORD(SERVICE_CONTROL_CONTINUE)}) {
        EXPECT_FALSE(::ControlService(svc.get(), control, &status)) << "control " << control;
        const DWORD error = ::GetLastError();
        EXPECT_TRUE(error == ERROR_INVALID_SERVICE_CONTROL || error == ERROR_CALL_NOT_IMPLEMENTED)
            << "control " << control << " error " << error;
    }
    if (!::ControlService(svc.get(), 128, &status)) {
        const DWORD error = ::GetLastError();
        EXPECT_TRUE(error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_SERVICE_CONTROL) << error;
    }

    EXPECT_TRUE(service_running());
    ASSERT_TRUE(::ControlService(svc.get(), SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
    // The watch cycle goes on.
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));
    const int reported = message_count("Program watched.exe is no longer running.");
    ASSERT_EQ(kill_processes(L"watched.exe"), 1);
    EXPECT_TRUE(wait_for_message("Program watched.exe is no longer running.", reported + 1));
    svc.reset();

    ASSERT_EQ(run(L"-stop_service", lines), 0u);
    EXPECT_EQ(lines, remove_lines);
}

TEST_F(service, stop_service_without_a_service_writes_four_lines_and_succeeds) {
    std::vector<std::string> lines;
    ASSERT_EQ(run(L"-stop_service", lines), 0u);
    const std::vector<std::string> expected = {"Deinstalling service+ (tolvarn)", "opening service+",
                                               "Installing service-", "tolvarn service status: query failed"};
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(scm_test::service_exists(service_name));
}

// A service "tolvarn" of another program: it is left as it is (only its description is set), the
// start of that program fails as the manager reports, and the run still answers 0.
TEST_F(service, start_service_with_a_foreign_service_of_that_name_keeps_it) {
    const std::wstring other = copy_program(L"sleeper.exe", L"other.exe");
    const std::wstring other_line = L"\"" + other + L"\"";
    ASSERT_TRUE(scm_test::create_service(service_name, other_line));

    std::vector<std::string> lines;
    ASSERT_EQ(run(L"-start_service", lines), 0u);
    ASSERT_EQ(lines.size(), 9u);
    const std::vector<std::string> head = {"Installing service+ (tolvarn)", "opening service+",
                                           "not creating service, service already there!", "starting service+"};
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), head);
    // sleeper.exe never talks to the manager: the start fails (1053 when it gives up waiting).
    EXPECT_TRUE(starts_with(lines[4], "StartService failed: ")) << lines[4];
    EXPECT_NE(lines[4], "StartService failed: 0");
    const std::vector<std::string> tail = {"starting service-", "opening service-", "Installing service-",
                                           "tolvarn service status: stopped"};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.end()), tail);
    EXPECT_EQ(scm_test::binary_path_of(service_name), other_line);
    EXPECT_EQ(utf8(scm_test::description_of(service_name)), description);

    // -stop_service removes it like its own.
    ASSERT_EQ(run(L"-stop_service", lines), 0u);
    EXPECT_EQ(lines, remove_lines);
    EXPECT_FALSE(scm_test::service_exists(service_name));
}

}  // namespace
}  // namespace e2e
