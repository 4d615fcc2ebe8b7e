// Application mode, one story: the real tolvarn.exe in a temporary folder watches copies of the
// sleeper helper, from a start in another current directory to its close.
#include "e2e/watchdog_fixture.h"
#include <thread>

namespace e2e {
namespace {

using app = watchdog_test;
HWND main_window() { return ::FindWindowW(nullptr, L"Tolvarn"); }

TEST_F(app, watches_restarts_refuses_a_second_copy_and_closes) {
    copy_program(L"sleeper.exe", L"watched.exe");
    start_program(L"\"" + copy_program(L"sleeper.exe", L"lazy.exe") + L"\"");
    const std::string watched = "\"" + utf8(path(L"watched.exe")) + "\"";
    const std::string nowhere = "\"" + utf8(path(L"not here.exe")) + "\" -x";
    write_ini("[tolvarn]\r\ninitial_delay=1\r\n[watched.exe]\r\ninterval=1\r\nCALL=" + watched +
              "\r\n[LAZY.EXE]\r\ninterval=1\r\n[gone.exe]\r\ninterval=1\r\ncall=" + nowhere + "\r\n");
    wchar_t text[256] = {};  // the system's own text for error 2
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0x0409, text, 256, nullptr);
    const std::string failed = "CreateProcess failed with error code 2: " + utf8(text).substr(0, utf8(text).find_last_not_of("\r\n ") + 1);
    ASSERT_TRUE(::CreateDirectoryW(path(L"elsewhere").c_str(), nullptr));
    process watchdog = start_watchdog(L"", path(L"elsewhere"));

    // The separator, the delay, the timers in table order, then the first checks, each complete.
    ASSERT_TRUE(wait_for_message(failed));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));
    const std::vector<std::string> story = {
        "", "", std::string(64, '-'), "", "Setting initial delay of 1 seconds.", "Setting 1 second timer for watched.exe.",
        "Setting 1 second timer for LAZY.EXE.", "Setting 1 second timer for gone.exe.",
        "Program watched.exe is no longer running.", "Calling " + watched + ".", "Calling " + watched,
        "Program gone.exe is no longer running.", "Calling " + nowhere + ".", "Calling " + nowhere, failed};
    std::vector<std::string> log = log_messages();
    log.resize(std::min(log.size(), story.size()));
    EXPECT_EQ(log, story);

    // Quiet while both run (the failing call keeps time), then ended again and started again.
    ASSERT_TRUE(wait_for_message("Program gone.exe is no longer running.", 4));
    EXPECT_EQ(message_count("Program watched.exe is no longer running."), 1);
    EXPECT_EQ(message_count("Program LAZY.EXE is no longer running."), 0);
    ASSERT_EQ(kill_processes(L"watched.exe"), 1);
    ASSERT_TRUE(wait_for_message("Program watched.exe is no longer running.", 2));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));

    // A second copy refuses to run; the first goes on.
    EXPECT_EQ(run_watchdog(L""), 0xFFFFFFFFu);
    EXPECT_EQ(message_count("Program is already running."), 1);
    EXPECT_EQ(watchdog.wait(0ms), STILL_ACTIVE);

    // The end of the session stops the watching and puts the log on disk before it is answered.
    ::SendMessageW(main_window(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(message_count("end session"), 1);
    ASSERT_EQ(kill_processes(L"watched.exe"), 1);
    const std::size_t lines = log_messages().size();
    EXPECT_FALSE(wait_until([&] { return log_messages().size() > lines || count_processes(L"watched.exe"); }, 2500ms));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
    EXPECT_FALSE(ts::exists(path(L"elsewhere\\Tolvarn.log")));

    // -stop_appl (any letter case) waits only for a while for a window that takes no messages.
    std::thread([] {
        ::CreateWindowExW(0, L"STATIC", L"Tolvarn", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ::Sleep(INFINITE);
    }).detach();
    ASSERT_TRUE(wait_until([] { return main_window() != nullptr; }));
    EXPECT_EQ(run_watchdog(L"-STOP_APPL", 60s), 0u);
}

// Exit detection and back-off: a program's end is seen long before its next check, both for a
// process found running and for one the watchdog started; one that ends at once starts ever later.
TEST_F(app, watch_exit_sees_ends_at_once_and_backoff_holds_a_crash_loop) {
    start_program(L"\"" + copy_program(L"sleeper.exe", L"watched.exe") + L"\"");
    const std::string crash = "\"" + utf8(copy_program(L"sleeper.exe", L"crash.exe")) + "\" --crash";
    write_ini("[watched.exe]\r\ninterval=20\r\nwatch_exit=1\r\ncall=\"" + utf8(path(L"watched.exe")) +
              "\"\r\n[gone.exe]\r\ninterval=20\r\n[crash.exe]\r\ninterval=1\r\nwatch_exit=1\r\n"
              "restart_backoff=4\r\nmin_uptime=30\r\ncall=" + crash + "\r\n");
    process watchdog = start_watchdog();
    const std::string missing = "Program watched.exe is no longer running.";
    ASSERT_TRUE(wait_for_message("Program gone.exe is no longer running."));  // the first checks are done
    for (int i = 1; i <= 2; ++i) {  // the next ones are due 20 s after them
        ASSERT_EQ(kill_processes(L"watched.exe"), 1);
        EXPECT_TRUE(wait_for_message(missing, i, 10s)) << i;
        ASSERT_TRUE(wait_until([] { return count_processes(L"watched.exe") == 1; }));
    }
    EXPECT_EQ(message_count("Program gone.exe is no longer running."), 1);
    EXPECT_EQ(stop_watchdog(watchdog), 0u);

    // Each start of crash.exe ends at once and holds the next one: 1, 2, then 4 seconds.
    std::vector<std::string> holds;
    int starts = 0;
    for (const std::string& m : log_messages()) {
        starts += m == "Calling " + crash + ".";
        if (m.rfind("Program crash.exe ended again within 30 seconds; next start in ", 0) == 0) holds.push_back(m.substr(63));
    }
    ASSERT_GE(holds.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(holds.begin(), holds.begin() + 4),
              (std::vector<std::string>{"1 seconds.", "2 seconds.", "4 seconds.", "4 seconds."}));
    EXPECT_EQ(std::count(holds.begin(), holds.end(), "4 seconds."), static_cast<long>(holds.size()) - 2);
    EXPECT_LE(starts, static_cast<int>(holds.size()) + 1);
}

}  // namespace
}  // namespace e2e
