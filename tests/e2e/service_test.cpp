// Service mode, one story: the real tolvarn.exe installs and starts its service "tolvarn", whose
// worker restarts a watched program into the same Tolvarn.log, then stops and removes it. The
// folder's path holds a space, so the service's program path must be quoted to start at all.
#include "cl/service/scm_test_util.h"
#include "e2e/watchdog_fixture.h"

namespace e2e {
namespace {

class service : public watchdog_test {
protected:
    service() { dir_suffix_ = L" service"; }
    // No test may find or leave a service "tolvarn" in the prefix, whatever happened.
    void SetUp() override { scm_test::remove_service(L"tolvarn"), watchdog_test::SetUp(); }
    void TearDown() override { scm_test::remove_service(L"tolvarn"), watchdog_test::TearDown(); }
    // Runs tolvarn.exe with `option` (exit code 0): the installer's narration it logged.
    std::vector<std::string> narration(const wchar_t* option) {
        const std::size_t before = log_messages().size();
        EXPECT_EQ(run_watchdog(option), 0u) << utf8(option);
        std::vector<std::string> lines = log_messages();
        lines.erase(lines.begin(), lines.begin() + before);
        lines.erase(std::remove_if(lines.begin(), lines.end(), [](const std::string& m) {  // the separator, the watch cycle
            return m.empty() || m[0] == '-' || !m.rfind("Program ", 0) || !m.rfind("Calling ", 0) || !m.rfind("Setting ", 0);
        }), lines.end());
        return lines;
    }
    SERVICE_STATUS_PROCESS status() const { return scm_test::status_of(scm_test::open_service(L"tolvarn").get()); }
};

TEST_F(service, installs_watches_stops_and_removes_and_a_dead_worker_reports_stopped) {
    copy_program(L"sleeper.exe", L"watched.exe");
    write_ini("[watched.exe]\r\ninterval=1\r\ncall=\"" + utf8(path(L"watched.exe")) + "\"\r\n");
    std::vector<std::string> lines = narration(L"-start_service");
    if (!lines.empty() && lines.back() == "tolvarn service status: start pending") lines.back() = "tolvarn service status: running";
    EXPECT_EQ(lines, (std::vector<std::string>{"Installing service+ (tolvarn)", "opening service+", "creating service+",
                                               "creating service-", "starting service+", "starting service-",
                                               "opening service-", "Installing service-", "tolvarn service status: running"}));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));
    ASSERT_EQ(kill_processes(L"watched.exe"), 1);
    ASSERT_TRUE(wait_for_message("Program watched.exe is no longer running.", 2));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));
    const HANDLE host = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, status().dwProcessId);

    EXPECT_EQ(narration(L"-stop_service"),
              (std::vector<std::string>{"Deinstalling service+ (tolvarn)", "opening service+", "stopping service",
                                        "deleting service", "opening service-", "service deleted and gone",
                                        "Installing service-", "tolvarn service status: query failed"}));
    EXPECT_EQ(process{host}.wait(30s), 0u);
    ::CloseHandle(host);

    // A worker whose window anyone closes (here the service's own call of -stop_appl) reports the
    // service stopped with an error, for the manager's recovery.
    write_ini("[never_there.exe]\r\ninterval=1\r\ncall=\"" + utf8(path(L"tolvarn.exe")) + "\" -stop_appl\r\n");
    narration(L"-start_service");
    ASSERT_TRUE(wait_until([&] { return status().dwCurrentState == SERVICE_STOPPED; }));
    EXPECT_EQ(status().dwWin32ExitCode, DWORD(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status().dwServiceSpecificExitCode, 3u);
    EXPECT_TRUE(wait_for_message("Service thread ended without a stop request (main window closed). Reporting the "
                                 "service stopped with code 3."));
    narration(L"-stop_service");
    EXPECT_EQ(message_count("Timed out waiting for service thread shutdown. Terminating thread."), 0);
}

}  // namespace
}  // namespace e2e
