// load_config over a real file: the global section, the watch entries and their repeatable keys.
#include "core/config.h"
#include "support/support.h"

namespace tolvarn {
namespace {

using strings = std::vector<std::wstring>;
using config_test = ts::folder_test;

TEST_F(config_test, global_settings_and_one_entry_per_other_section) {
    ASSERT_TRUE(ts::write_file(path(L"body.txt"), "line one\r\nline two\n"));
    ASSERT_TRUE(ts::write_file(path(L"tolvarn.ini"),
        "[TolVarn]\r\nsmtp_server = mail.example.com:2525\r\nsmtp_username=ops\r\nsmtp_password=s3cret\r\n"
        "initial_delay=30s\r\ncall=ignored.exe\r\nsmtp_port=465x\r\nsmtp_ssl=1\r\nlog_max_kb=64\r\n[a.exe]\r\nCall=first.exe\r\nCALL=second.exe --mode=fast\r\n"
        "mail_from=ops@example.com\r\nmail_to=a@example.com, b@example.com\r\nMAIL_TO=c@example.com\r\n"
        "mail_cc=d@example.com\r\nmail_subject=Down\r\nmail_body=@" + ts::utf8(path(L"body.txt")) +
        "\r\nmail_attachment=C:\\a.log\r\nmail_attachment=\r\nx=1\r\nmail_repeat=3\r\nmail_recovered=2\r\nwatch_exit=1\r\nrestart_backoff=300s\r\nmin_uptime=x\r\n[b.exe]\r\ninterval=-1\r\n"
        "[]\r\ninterval=\r\nmail_body=@\r\n[A.EXE]\r\ninterval=+4294967297\r\n"
        "[c.exe]\r\ninterval=--5\r\n[d.exe]\r\ninterval=2147483648\r\n[e.exe]\r\ninterval=\xEF\xBC\x97\r\n[f.exe]\r\n"));
    app_config_record config;
    load_config_file(config, path(L"tolvarn.ini"));
    EXPECT_EQ(config.initial_delay, 30u);
    ASSERT_EQ(config.watches.size(), 8u);
    const watch_entry& a = config.watches[0];
    EXPECT_EQ((strings{config.smtp_server, config.smtp_username, config.smtp_password, a.name, a.mail_from, a.mail_subject,
                       a.mail_body, config.watches[2].name, config.watches[2].mail_body}),  // "@" alone: no file
              (strings{L"mail.example.com:2525", L"ops", L"s3cret", L"a.exe", L"ops@example.com", L"Down",
                       L"line one\n\rline two\n\r", L"", L""}));
    EXPECT_EQ(a.calls, (strings{L"first.exe", L"second.exe --mode=fast"}));
    EXPECT_EQ(a.mail_to, (strings{L"a@example.com, b@example.com", L"c@example.com"}));
    EXPECT_EQ(a.mail_cc, strings{L"d@example.com"});
    EXPECT_EQ(a.mail_attachments, (strings{L"C:\\a.log", L""}));
    const std::uint32_t intervals[] = {1, 0xFFFFFFFFu, 0, 1, 0, 0x80000000u, 0, 10};  // leniently, wrapping
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(config.watches[i].interval, intervals[i]) << i;
    const watch_entry& b = config.watches[1];
    EXPECT_EQ((std::vector<std::uint32_t>{config.smtp_port, config.smtp_ssl, config.log_max_kb, a.mail_repeat,
                                          a.mail_recovered, b.mail_repeat, b.mail_recovered}),
              (std::vector<std::uint32_t>{465, 1, 64, 3, 1, 1, 0}));
    const watch_entry& f = config.watches[7];  // exit detection and back-off: off unless set
    EXPECT_EQ((std::vector<std::uint32_t>{a.watch_exit, a.restart_backoff, a.min_uptime, f.watch_exit, f.restart_backoff, f.min_uptime}),
              (std::vector<std::uint32_t>{1, 300, 0, 0, 0, 60}));
}

TEST_F(config_test, a_missing_file_is_reported_and_watches_nothing) {
    ts::capture::out().clear();
    app_config_record config;
    config.smtp_server = L"kept", config.smtp_port = 0;
    load_config_file(config, path(L"missing.ini"));
    EXPECT_TRUE(config.watches.empty());
    EXPECT_EQ(config.smtp_server, L"kept");
    EXPECT_EQ(config.smtp_port, 25u);  // 0 is the default port
    EXPECT_EQ(ts::capture::out().text(), "Error querying section names from ini file tolvarn.ini.\n");
}

}  // namespace
}  // namespace tolvarn
