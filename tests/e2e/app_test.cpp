// End-to-end tests of the watchdog in application mode: the real tolvarn.exe in a temporary
// folder with its own tolvarn.ini, watching copies of the sleeper helper program.
#include "e2e/watchdog_fixture.h"

#include <windows.h>

#include <thread>

namespace e2e {
namespace {

bool window_exists() { return ::FindWindowW(nullptr, L"Tolvarn") != nullptr; }

// "Calling X." and "Calling X" for one started command, as the log shows them.
void expect_calling_pair(const std::vector<std::string>& messages, std::size_t at, const std::string& command) {
    ASSERT_LT(at + 1, messages.size());
    EXPECT_EQ(messages[at], "Calling " + command + ".");
    EXPECT_EQ(messages[at + 1], "Calling " + command);
}

std::size_t find_message(const std::vector<std::string>& messages, const std::string& m, std::size_t from = 0) {
    for (std::size_t i = from; i < messages.size(); ++i)
        if (messages[i] == m) return i;
    return std::string::npos;
}

using app = watchdog_test;

TEST_F(app, missing_program_is_logged_and_started_again_while_it_stays_missing) {
    copy_program(L"sleeper.exe", L"watched_a.exe");
    const std::string command = "\"" + utf8(path(L"watched_a.exe")) + "\"";
    write_ini("[watched_a.exe]\r\ninterval=1\r\ncall=" + command + "\r\n");
    process watchdog = start_watchdog();

    ASSERT_TRUE(wait_for_message("Program watched_a.exe is no longer running."));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched_a.exe") == 1; }));
    ASSERT_TRUE(wait_for_message("Calling " + command));

    auto messages = log_messages();
    // The start separator: two empty lines, the hyphens, one empty line.
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[0], "");
    EXPECT_EQ(messages[1], "");
    EXPECT_EQ(messages[2], std::string(64, '-'));
    EXPECT_EQ(messages[3], "");
    const std::size_t setting = find_message(messages, "Setting 1 second timer for watched_a.exe.");
    const std::size_t missing = find_message(messages, "Program watched_a.exe is no longer running.");
    ASSERT_NE(setting, std::string::npos);
    ASSERT_NE(missing, std::string::npos);
    EXPECT_LT(setting, missing);
    expect_calling_pair(messages, missing + 1, command);

    // Running again: later checks find it and write nothing more. Three intervals pass.
    const int lines = static_cast<int>(log_messages().size());
    std::this_thread::sleep_for(3500ms);
    EXPECT_EQ(message_count("Program watched_a.exe is no longer running."), 1);
    EXPECT_EQ(static_cast<int>(log_messages().size()), lines);

    // Ended again: found missing and started again.
    ASSERT_EQ(kill_processes(L"watched_a.exe"), 1);
    ASSERT_TRUE(wait_for_message("Program watched_a.exe is no longer running.", 2));
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched_a.exe") == 1; }));

    EXPECT_EQ(stop_watchdog(watchdog), 0u);
    // The checks stop with the watchdog.
    kill_processes(L"watched_a.exe");
    const int after_stop = message_count("Program watched_a.exe is no longer running.");
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(message_count("Program watched_a.exe is no longer running."), after_stop);
    EXPECT_EQ(count_processes(L"watched_a.exe"), 0);
}

TEST_F(app, a_program_that_exits_at_once_is_started_at_every_check) {
    copy_program(L"sleeper.exe", L"quitter.exe");
    const std::string command = "\"" + utf8(path(L"quitter.exe")) + "\" --exit-after-ms 0";
    write_ini("[quitter.exe]\r\ninterval=1\r\ncall=" + command + "\r\n");
    process watchdog = start_watchdog();
    EXPECT_TRUE(wait_for_message("Program quitter.exe is no longer running.", 3));
    EXPECT_TRUE(wait_for_message("Calling " + command, 3));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
}

TEST_F(app, name_in_other_letter_case_counts_as_running) {
    copy_program(L"sleeper.exe", L"watched_b.exe");
    start_program(L"\"" + path(L"watched_b.exe") + L"\"");
    ASSERT_TRUE(wait_until([] { return count_processes(L"watched_b.exe") == 1; }));
    write_ini("[WATCHED_B.EXE]\r\ninterval=1\r\n[missing_c.exe]\r\ninterval=1\r\n");
    process watchdog = start_watchdog();
    // The missing one is reported twice: by then the other has been checked twice as well.
    ASSERT_TRUE(wait_for_message("Program missing_c.exe is no longer running.", 2));
    EXPECT_EQ(message_count("Program WATCHED_B.EXE is no longer running."), 0);
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
}

TEST_F(app, call_of_a_missing_program_logs_the_error_code_and_text) {
    write_ini("[gone.exe]\r\ninterval=1\r\ncall=C:\\no\\such\\folder\\nothing_here.exe -x\r\n");
    process watchdog = start_watchdog();
    const std::string prefix = "CreateProcess failed with error code ";
    std::string failure;
    ASSERT_TRUE(wait_until([&] {
        for (const auto& m : log_messages())
            if (m.compare(0, prefix.size(), prefix) == 0) {
                failure = m;
                return true;
            }
        return false;
    }));
    // The code is the system's (a missing folder is 3 on Windows, 2 on some systems); the text is
    // the system's own text for it, never empty.
    const std::size_t colon = failure.find(": ", prefix.size());
    ASSERT_NE(colon, std::string::npos) << failure;
    const unsigned long code = std::stoul(failure.substr(prefix.size(), colon - prefix.size()));
    EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << failure;
    EXPECT_GT(failure.size(), colon + 2);
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
}

TEST_F(app, second_copy_refuses_to_start_and_stop_appl_closes_the_first) {
    write_ini("");
    process first = start_watchdog();
    ASSERT_TRUE(wait_until(window_exists));

    EXPECT_EQ(run_watchdog(L""), 0xFFFFFFFFu);
    EXPECT_TRUE(wait_for_message("Program is already running."));
    EXPECT_TRUE(first.running());

    EXPECT_EQ(run_watchdog(L"-STOP_APPL"), 0u);  // options ignore letter case
    EXPECT_EQ(first.wait(60s), 0u);
    EXPECT_FALSE(window_exists());

    // No copy running: -stop_appl still answers 0 and logs nothing but the start separator.
    const auto before = log_messages().size();
    EXPECT_EQ(run_watchdog(L"-stop_appl"), 0u);
    auto messages = log_messages();
    ASSERT_EQ(messages.size(), before + 4);
    EXPECT_EQ(messages.back(), "");
    EXPECT_EQ(messages[messages.size() - 2], std::string(64, '-'));
}

TEST_F(app, words_that_only_resemble_options_run_the_watchdog) {
    write_ini("");
    process watchdog = start_watchdog(L"-stop_applx x-stop_appl");
    ASSERT_TRUE(wait_until(window_exists));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
}

TEST_F(app, initial_delay_comes_before_the_timers) {
    write_ini("[tolvarn]\r\ninitial_delay=2\r\n[one.exe]\r\ninterval=3600\r\n[two.exe]\r\ninterval=7200\r\n");
    process watchdog = start_watchdog();
    ASSERT_TRUE(wait_for_message("Setting initial delay of 2 seconds."));
    ASSERT_TRUE(wait_for_message("Setting 7200 second timer for two.exe."));
    auto messages = log_messages();
    const std::size_t delay = find_message(messages, "Setting initial delay of 2 seconds.");
    const std::size_t one = find_message(messages, "Setting 3600 second timer for one.exe.");
    const std::size_t two = find_message(messages, "Setting 7200 second timer for two.exe.");
    EXPECT_LT(delay, one);
    EXPECT_EQ(one + 1, two);
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
}

TEST_F(app, closing_during_the_initial_delay_arms_nothing) {
    write_ini("[tolvarn]\r\ninitial_delay=30\r\n[one.exe]\r\ninterval=1\r\n");
    process watchdog = start_watchdog();
    ASSERT_TRUE(wait_for_message("Setting initial delay of 30 seconds."));
    ASSERT_TRUE(wait_until(window_exists));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
    EXPECT_EQ(message_count("Setting 1 second timer for one.exe."), 0);
}

TEST_F(app, closing_as_the_initial_delay_expires_never_hangs_or_leaves_timers) {
    // The delay's expiry (timer thread) and the close (message-loop thread) meet at varied moments.
    write_ini("[tolvarn]\r\ninitial_delay=1\r\n[a.exe]\r\ninterval=1\r\n[b.exe]\r\ninterval=1\r\n");
    for (int round = 0; round < 8; ++round) {
        process watchdog = start_watchdog();
        ASSERT_TRUE(wait_until(window_exists));
        std::this_thread::sleep_for(std::chrono::milliseconds(850 + 50 * round));
        EXPECT_EQ(stop_watchdog(watchdog), 0u) << "round " << round;
        ASSERT_TRUE(wait_until([] { return !window_exists(); }));
    }
}

TEST_F(app, without_ini_file_the_watchdog_runs_and_watches_nothing) {
    process watchdog = start_watchdog();
    ASSERT_TRUE(wait_for_message("Error querying section names from ini file tolvarn.ini."));
    ASSERT_TRUE(wait_until(window_exists));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
}

TEST_F(app, ini_and_log_come_from_the_executable_folder_whatever_the_current_directory) {
    const std::wstring elsewhere = path(L"elsewhere\\");
    ASSERT_TRUE(::CreateDirectoryW(elsewhere.c_str(), nullptr));
    write_ini("[elsewhere_test.exe]\r\ninterval=3600\r\n");
    process watchdog = start_watchdog(L"", elsewhere);
    ASSERT_TRUE(wait_for_message("Setting 3600 second timer for elsewhere_test.exe."));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
    EXPECT_EQ(::GetFileAttributesW((elsewhere + L"Tolvarn.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

// CPU time (user + kernel) of a process, in milliseconds.
double cpu_ms(const process& p) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(p.handle, &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

struct bad_config {
    const char* name;
    std::string content;
    const char* expected_message;  // a message that must appear, or null
};

class app_bad_config : public watchdog_test, public ::testing::WithParamInterface<bad_config> {};

TEST_P(app_bad_config, starts_logs_and_neither_crashes_nor_spins) {
    write_text(L"tolvarn.ini", GetParam().content);
    process watchdog = start_watchdog();
    ASSERT_TRUE(wait_until(window_exists)) << GetParam().name;
    if (GetParam().expected_message) {
        EXPECT_TRUE(wait_for_message(GetParam().expected_message)) << GetParam().name;
    }
    // Let a few one-second periods pass, then look at the CPU time spent.
    std::this_thread::sleep_for(3s);
    EXPECT_TRUE(watchdog.running());
    EXPECT_LT(cpu_ms(watchdog), 2500.0) << GetParam().name;
    EXPECT_EQ(stop_watchdog(watchdog), 0u) << GetParam().name;
}

std::string garbage() {
    std::string s;
    unsigned x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        s.push_back(static_cast<char>(x >> 24));
    }
    return s;
}

std::string utf16be_with_bom(const std::string& ascii) {
    std::string s = "\xFE\xFF";
    for (char c : ascii) {
        s.push_back('\0');
        s.push_back(c);
    }
    return s;
}

std::string many_sections(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "[p" + std::to_string(i) + ".exe]\r\ninterval=3600\r\n";
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    inputs, app_bad_config,
    ::testing::Values(bad_config{"garbage", garbage(), nullptr},
                      bad_config{"utf16be", utf16be_with_bom("[be_test.exe]\r\ninterval=3600\r\n"),
                                 "Setting 3600 second timer for be_test.exe."},
                      bad_config{"sections_1000", many_sections(1000), "Setting 3600 second timer for p999.exe."},
                      bad_config{"interval_0", "[zero.exe]\r\ninterval=0\r\n", "Setting 0 second timer for zero.exe."},
                      bad_config{"interval_minus_1", "[huge.exe]\r\ninterval=-1\r\n",
                                 "Setting 4294967295 second timer for huge.exe."},
                      bad_config{"empty_section_name", "[]\r\ninterval=3600\r\n", "Setting 3600 second timer for ."}),
    [](const ::testing::TestParamInfo<bad_config>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
