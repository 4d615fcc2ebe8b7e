// End-to-end tests of the notification e-mail: the real tolvarn.exe sends through the recording
// CDO stand-in, as an application and as a service. The watchdog is another process: the
// stand-in is configured through its cdo_stub.cfg beside the DLL, which every process reads.
#include "e2e/watchdog_fixture.h"

#include "cl/service/scm_test_util.h"
#include "mail/cdo_stub_record.h"
#include "mail/cdo_stub_registry.h"
#include "mail/cdo_stub_settings.h"

#include <windows.h>

namespace e2e {
namespace {

const char password[] = "Pw-Secret-7781";
const std::wstring config_ns = L"http://schemas.microsoft.com/cdo/configuration/";
const wchar_t* const service_name = L"tolvarn";

// The watchdog with the stand-in registered in place of CDO and recording into the test folder.
class mail_e2e : public watchdog_test {
protected:
    void SetUp() override {
        watchdog_test::SetUp();
        if (HasFatalFailure()) return;
        record_ = path(L"cdo_record.txt");
        ASSERT_EQ(ERROR_SUCCESS, cdo_stub::register_server());
        registered_ = true;
        configure();
    }
    void TearDown() override {
        // No service outlives the test, whatever happened.
        if (service_test_) {
            scm_test::remove_service(service_name);
            EXPECT_FALSE(scm_test::service_exists(service_name));
        }
        if (registered_) cdo_stub::unregister_server();
        cdo_stub::remove_config();
        watchdog_test::TearDown();
    }

    // (Re)writes cdo_stub.cfg: the record, and how long Send waits.
    void configure(unsigned long send_delay_ms = 0) {
        cdo_stub::settings s;
        s.record_path = record_;
        s.send_delay_ms = send_delay_ms;
        ASSERT_TRUE(cdo_stub::write_config(s));
    }

    std::vector<cdo_stub::entry> record() const { return cdo_stub::read_record(record_); }
    std::size_t count(const std::wstring& call) const { return cdo_stub::select(record(), call).size(); }

    // The ini of one watched program that is never running, with a complete e-mail.
    std::string missing_program_ini(const std::string& extra = std::string()) const {
        return "[tolvarn]\r\n"
               "smtp_server=smtp.example.com:2525\r\n"
               "smtp_username=watchdog\r\n"
               "smtp_password=" + std::string(password) + "\r\n"
               "[never_there.exe]\r\n"
               "interval=1\r\n"
               "mail_from=Watch <watch@example.org>\r\n"
               "mail_to=ops@example.org\r\n"
               "mail_to=boss@example.org, deputy@example.org\r\n"
               "mail_cc=cc@example.org\r\n"
               "mail_subject=never_there.exe is down\r\n" + extra;
    }

    std::wstring record_;
    bool registered_ = false;
    bool service_test_ = false;
};

TEST_F(mail_e2e, a_full_email_goes_out_at_every_check_while_the_program_stays_missing) {
    write_text(L"body.txt", "First line\r\nSecond line\r\n");
    write_text(L"report.txt", "attached bytes");
    write_ini(missing_program_ini("mail_body=@" + utf8(path(L"body.txt")) + "\r\n" +
                                  "mail_attachment=" + utf8(path(L"report.txt")) + "\r\n"));
    // Send waits: the watchdog's timer thread, which also runs the log's delayed flush, is busy
    // meanwhile, so the log line can only be on disk if it was flushed before the mail job.
    configure(3000);
    process watchdog = start_watchdog();

    bool ordering_checked = false;
    for (std::size_t n = 1; n <= 2; ++n) {
        ASSERT_TRUE(wait_until([&] { return count(L"IMessage::Send") >= n; }, 90s)) << "send " << n;
        const int logged = message_count("Sending e-mail.");
        const std::size_t done = count(L"IMessage::Send.done");
        if (done < n) {
            // Observed while send n was still in progress.
            EXPECT_GE(logged, static_cast<int>(n)) << "\"Sending e-mail.\" was not on disk before send " << n;
            ordering_checked = true;
        }
    }
    EXPECT_TRUE(ordering_checked) << "every send ended before the log could be looked at";
    EXPECT_EQ(stop_watchdog(watchdog), 0u);

    const std::vector<cdo_stub::entry> all = record();
    const std::vector<cdo_stub::entry> sends = cdo_stub::select(all, L"IMessage::Send");
    ASSERT_GE(sends.size(), 2u);
    // One message per check, each complete.
    EXPECT_EQ(sends.size(), cdo_stub::select(all, L"Message::CreateInstance").size());
    EXPECT_EQ(static_cast<int>(sends.size()), message_count("Sending e-mail."));
    EXPECT_GE(message_count("Program never_there.exe is no longer running."), static_cast<int>(sends.size()));
    for (const cdo_stub::entry& e : cdo_stub::select(all, L"IMessage::put_From"))
        EXPECT_EQ(L"Watch <watch@example.org>", e.arg(0));
    const std::vector<cdo_stub::entry> to = cdo_stub::select(all, L"IMessage::put_To");
    ASSERT_EQ(2 * sends.size(), to.size());
    for (std::size_t i = 0; i < to.size(); i += 2) {
        EXPECT_EQ(L"ops@example.org", to[i].arg(0));
        EXPECT_EQ(L"boss@example.org, deputy@example.org", to[i + 1].arg(0));
    }
    for (const cdo_stub::entry& e : cdo_stub::select(all, L"IMessage::put_Subject"))
        EXPECT_EQ(L"never_there.exe is down", e.arg(0));
    // The body file's lines, each ended by LF CR.
    const std::vector<cdo_stub::entry> bodies = cdo_stub::select(all, L"IMessage::put_TextBody");
    ASSERT_EQ(sends.size(), bodies.size());
    for (const cdo_stub::entry& e : bodies) EXPECT_EQ(L"First line\n\rSecond line\n\r", e.arg(0));
    const std::vector<cdo_stub::entry> writes = cdo_stub::select(all, L"_Stream::Write");
    ASSERT_EQ(sends.size(), writes.size());
    const std::string attached = "attached bytes";
    for (const cdo_stub::entry& e : writes)
        EXPECT_EQ(std::vector<unsigned char>(attached.begin(), attached.end()), cdo_stub::hex_bytes(e.arg(2)));
    // The credentials reach the component; the password never reaches the log.
    std::size_t password_writes = 0;
    for (const cdo_stub::entry& e : cdo_stub::select(all, L"Field::put_Value")) {
        if (e.arg(0) == config_ns + L"sendpassword") {
            EXPECT_EQ(utf16(password), e.arg(2));
            ++password_writes;
        }
        if (e.arg(0) == config_ns + L"smtpserver") {
            EXPECT_EQ(L"smtp.example.com:2525", e.arg(2));
        }
    }
    EXPECT_EQ(sends.size(), password_writes);
    EXPECT_EQ(std::string::npos, log_text().find(password));
    // Everything made for a mail is released after it.
    EXPECT_TRUE(cdo_stub::released_after(all, watchdog.id));
}

TEST_F(mail_e2e, without_sender_or_recipient_no_email_is_attempted) {
    write_ini("[no_sender.exe]\r\n"
              "interval=1\r\n"
              "mail_to=ops@example.org\r\n"
              "[no_recipient.exe]\r\n"
              "interval=1\r\n"
              "mail_from=watch@example.org\r\n"
              "mail_cc=cc@example.org\r\n");
    process watchdog = start_watchdog();
    EXPECT_TRUE(wait_for_message("Program no_sender.exe is no longer running.", 2));
    EXPECT_TRUE(wait_for_message("Program no_recipient.exe is no longer running.", 2));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
    EXPECT_EQ(0, message_count("Sending e-mail."));
    EXPECT_TRUE(record().empty());
}

TEST_F(mail_e2e, a_failing_send_is_logged_and_the_next_check_tries_again) {
    write_ini(missing_program_ini());
    cdo_stub::settings s;
    s.record_path = record_;
    s.fail = L"IMessage::Send=0x80040213";
    ASSERT_TRUE(cdo_stub::write_config(s));
    process watchdog = start_watchdog();
    EXPECT_TRUE(wait_for_message("Sending e-mail failed with result code 0x80040213", 2, 60s));
    EXPECT_EQ(stop_watchdog(watchdog), 0u);
    EXPECT_EQ(std::string::npos, log_text().find(password));
}

// The service's stop control waits 20 seconds for the worker thread, which here waits for a check
// stuck in a 30-second send; then the thread is terminated and the service reports stopped.
TEST_F(mail_e2e, stopping_the_service_during_a_long_send_terminates_the_worker_after_20_seconds) {
    service_test_ = true;
    scm_test::remove_service(service_name);
    ASSERT_FALSE(scm_test::service_exists(service_name)) << "a service tolvarn is left from elsewhere";
    write_ini(missing_program_ini());
    configure(30000);

    EXPECT_EQ(run_watchdog(L"-start_service"), 0u);
    ASSERT_TRUE(wait_until([&] { return scm_test::state_of(service_name) == SERVICE_RUNNING; }, 60s))
        << "state " << scm_test::state_of(service_name);
    // The check is inside Send.
    ASSERT_TRUE(wait_until([&] { return count(L"IMessage::Send") >= 1; }, 90s));
    ASSERT_TRUE(wait_for_message("Sending e-mail."));

    const auto stop_sent = std::chrono::steady_clock::now();
    process stopper = start_watchdog(L"-stop_service");
    // Stopped is reported, or the service is deleted already.
    ASSERT_TRUE(wait_until([&] { return scm_test::state_of(service_name) == SERVICE_STOPPED ||
                                        !scm_test::service_exists(service_name); }, 120s));
    const auto stopped_after = std::chrono::steady_clock::now() - stop_sent;
    EXPECT_EQ(stopper.wait(120s), 0u);
    EXPECT_TRUE(wait_until([&] { return !scm_test::service_exists(service_name); }, 60s))
        << "the service was not deleted";

    EXPECT_TRUE(wait_for_message("Timed out waiting for service thread shutdown. Terminating thread.", 1, 30s));
    // The stop waited the 20 seconds for the worker, not the 30 seconds of the send.
    EXPECT_GE(stopped_after, 19s);
    EXPECT_LT(stopped_after, 29s);
    EXPECT_EQ(std::string::npos, log_text().find(password));
}

}  // namespace
}  // namespace e2e
