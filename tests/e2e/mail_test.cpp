// The notification e-mail end to end: the real tolvarn.exe, as the service "tolvarn" of the prefix's
// service manager, sends through the CDO stand-in's DLL, registered under CDO's class ids and
// configured through the file beside it (a service does not inherit the test's environment).
#include "cdo_stand_in.h"
#include "e2e/watchdog_fixture.h"

namespace e2e {
namespace {

// The service's state, 0 when there is none; `remove` stops and deletes it first.
DWORD service_state(bool remove = false) {
    SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? ::OpenServiceW(manager, L"tolvarn", SERVICE_QUERY_STATUS | SERVICE_STOP | DELETE) : 0;
    SERVICE_STATUS status = {};
    if (service && remove) ::ControlService(service, SERVICE_CONTROL_STOP, &status), ::DeleteService(service);
    const DWORD state = service && ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    if (service) ::CloseServiceHandle(service);
    if (manager) ::CloseServiceHandle(manager);
    return state;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

class mail_e2e : public watchdog_test {
protected:
    void SetUp() override {
        watchdog_test::SetUp();
        ASSERT_EQ(0u, service_state(true)) << "a service tolvarn is left from elsewhere";
        ASSERT_EQ(ERROR_SUCCESS, cdo_register_dll());
    }
    void TearDown() override {  // no service outlives the test, whatever happened
        service_state(true);
        EXPECT_TRUE(wait_until([] { return service_state() == 0; }, 30s));
        cdo_unregister_dll();
        cdo_configure_dll(nullptr, L"", 0);
        watchdog_test::TearDown();
    }
};

TEST_F(mail_e2e, mails_go_out_on_a_worker_that_holds_no_check_and_a_stop_ends_it_after_20_seconds) {
    const std::wstring record = path(L"record.txt");
    const auto sends = [&](const char* line) { return count(ts::read_file(record), line); };
    write_text(L"body.txt", "First line\r\nSecond line\r\n");
    write_text(L"report.txt", "attached bytes");
    copy_program(L"sleeper.exe", L"rec.exe");
    std::string old_log;  // a log at its cap: moved aside whole at the first write
    while (old_log.size() < 100 * 1024) old_log += "old line " + std::to_string(100000 + old_log.size()) + "\r\n";
    old_log.resize(100 * 1024);
    write_text(L"Tolvarn.log", old_log);
    write_ini("[tolvarn]\r\nsmtp_server=smtp.example.com:2525\r\nsmtp_username=watchdog\r\nsmtp_password=Pw-7781\r\n"
              "smtp_port=465\r\nsmtp_ssl=1\r\nlog_max_kb=100\r\n"
              "[never_there.exe]\r\ninterval=1\r\nmail_from=Watch <watch@example.org>\r\nmail_to=ops@example.org\r\n"
              "mail_to=boss@example.org, deputy@example.org\r\nmail_cc=cc@example.org\r\nmail_subject=down\r\n"
              "mail_body=@" + utf8(path(L"body.txt")) + "\r\nmail_attachment=" + utf8(path(L"report.txt")) + "\r\n"
              "mail_repeat=3\r\n[no_sender.exe]\r\ninterval=1\r\nmail_to=ops@example.org\r\n"
              "[no_recipient.exe]\r\ninterval=1\r\nmail_from=watch@example.org\r\nmail_cc=cc@example.org\r\n"
              "[rec.exe]\r\ninterval=1\r\ncall=\"" + utf8(path(L"rec.exe")) + "\"\r\nmail_recovered=1\r\n"
              "mail_from=watch@example.org\r\nmail_to=ops@example.org\r\n");
    // Every send fails, after 2 s. The log's own flush comes a second after a line: "Sending e-mail."
    // is on disk when Send starts only if it was flushed before the mail job.
    ASSERT_TRUE(cdo_configure_dll(record.c_str(), L"Send=0x80040213", 2000));
    EXPECT_EQ(0u, run_watchdog(L"-start_service"));
    ASSERT_TRUE(wait_until([] { return service_state() == SERVICE_RUNNING; }, 60s)) << service_state();
    int seen_inside = 0;
    for (std::size_t n = 1; n <= 2; ++n) {
        ASSERT_TRUE(wait_until([&] { return sends("msg Send -> 0x80040213\n") >= n; }, 60s)) << "send " << n;
        const int logged = message_count("Sending e-mail.");
        const bool inside = sends("msg Send done\n") < n;  // still inside send n
        seen_inside += inside;
        EXPECT_TRUE(!inside || logged >= static_cast<int>(n)) << "not on disk before send " << n;
    }
    EXPECT_GT(seen_inside, 0) << "every send ended before the log could be looked at";
    EXPECT_TRUE(wait_for_message("Sending e-mail failed with result code 0x80040213", 2));

    // Now Send takes 30 s. Meanwhile rec.exe is ended and started again by its next check.
    ASSERT_TRUE(cdo_configure_dll(record.c_str(), L"", 30000));
    ASSERT_TRUE(wait_until([&] { return sends("msg Send\n") >= 1; }, 60s));
    const int recoveries = message_count("Program rec.exe is running again.");
    EXPECT_GE(recoveries, 1);
    const std::size_t done = sends("msg Send done\n");
    EXPECT_EQ(1, kill_processes(L"rec.exe"));
    EXPECT_TRUE(wait_until([] { return count_processes(L"rec.exe") == 1; }, 5s)) << "not restarted";
    EXPECT_EQ(done, sends("msg Send done\n")) << "restarted only after the send";
    EXPECT_TRUE(wait_for_message("Program rec.exe is running again.", recoveries + 1));

    // The stop comes while Send runs: the worker is given 20 s, then ended.
    const auto stop_sent = std::chrono::steady_clock::now();
    process stopper = start_watchdog(L"-stop_service");
    ASSERT_TRUE(wait_until([] { return service_state() == SERVICE_STOPPED || service_state() == 0; }, 60s));
    const auto stopped_after = std::chrono::steady_clock::now() - stop_sent;
    EXPECT_EQ(0u, stopper.wait(60s));
    EXPECT_TRUE(wait_until([] { return service_state() == 0; }, 30s)) << "the service was not deleted";
    EXPECT_TRUE(wait_for_message("Timed out waiting for service thread shutdown. Terminating thread."));
    EXPECT_GE(stopped_after, 19s);
    EXPECT_LT(stopped_after, 29s);

    // Every message whole, the password handed to the component (never to the log), all released
    // (but in the last, cut off in its Send); no e-mail for the sections without sender or recipient.
    const std::string all = ts::read_file(record);
    const std::size_t messages = count(all, "msg create\n");
    EXPECT_EQ(old_log, ts::read_file(path(L"Tolvarn.1.log")));
    EXPECT_EQ(std::string::npos, log_text().find("old line"));
    EXPECT_NE(std::string::npos, all.find("put_Subject rec.exe is running again\nmsg put_TextBody Program rec.exe is "
                                          "running again.\n")) << "no recovery notice sent";
    EXPECT_EQ(static_cast<int>(messages), message_count("Sending e-mail."));
    EXPECT_GE(message_count("Program no_sender.exe is no longer running."), 1);
    EXPECT_GE(message_count("Program no_recipient.exe is no longer running."), 1);
    const char* const story[] = {"put_From Watch <watch@example.org>\n", "put_To ops@example.org\n",
        "put_To boss@example.org, deputy@example.org\n", "put_CC cc@example.org\n", "put_Subject down\n",
        "put_TextBody First line\\n\\rSecond line\\n\\r\n", "filename=\"report.txt\"\n", "Write bytes:14:6ca9a69a\n",
        "cdo:smtpserverport\nfield put_Value i4:465\n", "cdo:smtpusessl\nfield put_Value bool:-1\n",
        "field put_Value Pw-7781\n", "msg Send", "~msg 0\n"};
    for (std::size_t at = 0, m = 0; (at = all.find("msg create\n", at)) != std::string::npos; ++m, ++at) {
        const std::string message = all.substr(at, all.find("msg create\n", at + 1) - at);
        std::size_t from = 0;
        if (message.find("put_Subject down\n") == std::string::npos) continue;  // rec.exe's
        for (const char* line : story) {
            from = m + 1 < messages || line != story[12] ? message.find(line, from) : from;
            EXPECT_NE(std::string::npos, from) << "message " << m << ": " << line;
        }
    }
    EXPECT_EQ(std::string::npos, log_text().find("Pw-7781"));
}

}  // namespace
}  // namespace e2e
