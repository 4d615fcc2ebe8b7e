// The notification e-mail, sent through the recording CDO stand-in: what reaches the component
// and in which order, what is logged on every failure, and that every object handed out is
// released again.
#include "mail/send_mail_fixture.h"

#include "mail/cdo_stub_registry.h"

#include <string>
#include <vector>

namespace {

using namespace mail_test;

// ---- a whole message ---------------------------------------------------------------------------

TEST_F(SendMail, AWholeMessageReachesTheComponentInOrder) {
    mail m;
    m.username = L"watchdog";
    m.password = L"S3cret-pw";
    m.to = {L"a@example.org", L"", L"b@example.org, c@example.org"};
    m.cc = {L"", L"d@example.org"};
    m.subject = L"Program down";
    m.body = L"It stopped.\n\r\x00FC\x20AC";
    const std::vector<unsigned char> content = pattern_bytes(300);
    m.attachments = {file(L"report.txt", content)};

    const double before = local_now();
    send_recorded(m);
    const double after = local_now();

    std::vector<cdo_stub::entry> all = entries();
    ASSERT_GE(all.size(), 2u);
    const std::wstring config_serial = std::to_wstring(all[1].serial);

    std::vector<call_line> expected = {
        {L"message", L"Message::CreateInstance", {}},
        {L"configuration", L"Configuration::CreateInstance", {}},
        {L"configuration", L"IConfiguration::get_Fields", {}},
        {L"message", L"IMessage::get_Fields", {}},
        {L"message", L"IMessage::get_BodyPart", {}},
        {L"message.body", L"IBodyPart::put_Charset", {L"utf-8"}},
    };
    field_write(expected, L"configuration", config_ns + L"sendemailaddress", vt_bstr, m.from);
    expected.insert(expected.end(), {
        {L"message", L"IMessage::put_From", {m.from}},
        {L"message", L"IMessage::put_To", {L"a@example.org"}},
        {L"message", L"IMessage::put_To", {L"b@example.org, c@example.org"}},
        {L"message", L"IMessage::put_CC", {L"d@example.org"}},
        {L"message", L"IMessage::put_Subject", {L"Program down"}},
        {L"message", L"IMessage::put_TextBody", {m.body}},
        {L"message", L"IMessage::get_Attachments", {}},
        {L"message.attachments", L"IBodyParts::Add", {L"-1", L"message.attachment1"}},
        {L"message.attachment1", L"IBodyPart::get_Fields", {}},
    });
    field_write(expected, L"message.attachment1", disposition_field, vt_bstr, L"attachment; filename=\"report.txt\"");
    field_write(expected, L"message.attachment1", type_field, vt_bstr, L"text/plain");
    expected.insert(expected.end(), {
        {L"message.attachment1", L"Fields::Update", {}},
        {L"message.attachment1", L"IBodyPart::GetDecodedContentStream", {}},
        {L"message.attachment1.stream", L"_Stream::put_Type", {L"1"}},
        {L"message.attachment1.stream", L"_Stream::Write", {vt_byte_array, L"300", hex_of(content), L"0"}},
        {L"message.attachment1.stream", L"_Stream::Flush", {L"300"}},
    });
    // The transport settings: fixed numbers, the server string whole (its port is not split off).
    field_write(expected, L"configuration", config_ns + L"sendusing", vt_i4, L"2");
    field_write(expected, L"configuration", config_ns + L"smtpserverport", vt_i4, L"25");
    field_write(expected, L"configuration", config_ns + L"smtpconnectiontimeout", vt_i4, L"10");
    field_write(expected, L"configuration", config_ns + L"smtpauthenticate", vt_i4, L"1");
    field_write(expected, L"configuration", config_ns + L"smtpserver", vt_bstr, L"smtp.example.com:2525");
    field_write(expected, L"configuration", config_ns + L"sendusername", vt_bstr, L"watchdog");
    field_write(expected, L"configuration", config_ns + L"sendpassword", vt_bstr, L"S3cret-pw");
    expected.push_back({L"message", L"Fields::get_Item", {vt_bstr, date_field}});
    expected.push_back({L"message", L"Field::put_Value", {date_field, vt_date, L"*", L"*"}});
    expected.push_back({L"message", L"Fields::Update", {}});
    expected.push_back({L"message", L"IMessage::put_Configuration", {L"stub", config_serial}});
    expected.push_back({L"message", L"IMessage::Send", {L"stub", config_serial, L"*", L"0"}});
    EXPECT_EQ(expected, lines());

    // The date is the local wall-clock time of the send (whole seconds).
    std::vector<cdo_stub::entry> dates = calls(L"Field::put_Value", L"message");
    ASSERT_EQ(1u, dates.size());
    const double stamped = std::stod(dates[0].arg(2));
    const double second = 1.0 / 86400;
    EXPECT_GE(stamped, before - second);
    EXPECT_LE(stamped, after + second);

    // A successful send writes nothing, and never the password.
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

TEST_F(SendMail, EmptyCredentialsAreWrittenAsEmptyStringsAndAuthenticationStaysOn) {
    send_recorded(mail());
    const std::vector<std::vector<std::wstring>> expected = {
        {config_ns + L"sendemailaddress", vt_bstr, L"Watch <watch@example.org>"},
        {config_ns + L"sendusing", vt_i4, L"2"},
        {config_ns + L"smtpserverport", vt_i4, L"25"},
        {config_ns + L"smtpconnectiontimeout", vt_i4, L"10"},
        {config_ns + L"smtpauthenticate", vt_i4, L"1"},
        {config_ns + L"smtpserver", vt_bstr, L"smtp.example.com:2525"},
        {config_ns + L"sendusername", vt_bstr, L""},
        {config_ns + L"sendpassword", vt_bstr, L""},
    };
    EXPECT_EQ(expected, field_values(L"configuration"));
    EXPECT_TRUE(sent());
}

TEST_F(SendMail, AnEmptySubjectIsNotSetAndAnEmptyBodyIs) {
    mail m;
    m.body = L"";
    send_recorded(m);
    EXPECT_TRUE(calls(L"IMessage::put_Subject").empty());
    EXPECT_EQ(std::vector<std::wstring>{L""}, values(L"IMessage::put_TextBody"));
    EXPECT_TRUE(sent());
}

TEST_F(SendMail, RecipientListsOfEmptyEntriesSetNoRecipientAndStillSend) {
    mail m;
    m.to = {L"", L""};
    m.cc = {L""};
    send_recorded(m);
    EXPECT_TRUE(calls(L"IMessage::put_To").empty());
    EXPECT_TRUE(calls(L"IMessage::put_CC").empty());
    EXPECT_TRUE(sent());
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

// ---- failures ----------------------------------------------------------------------------------

TEST_F(SendMail, WithoutTheComponentTwoLinesAreLoggedAndNothingIsSent) {
    ASSERT_EQ(ERROR_SUCCESS, cdo_stub::unregister_server());
    send_recorded(mail());
    EXPECT_EQ((std::vector<std::string>{"Failed to create IMessage (80040154)",
                                        "E-mail error setting 'from' value to Watch <watch@example.org>."}),
              log_collector::instance().take());
    EXPECT_TRUE(entries().empty());
}

struct failure_case {
    const char* what;
    void (*change)(mail&);
    const wchar_t* fail;                // injected faults
    std::vector<std::string> log;       // exactly these lines
    std::vector<std::wstring> to;       // the put_To values that were made
    bool sends;
};

void no_change(mail&) {}

const failure_case failure_cases[] = {
    {"invalid sender",
     [](mail& m) { m.from = L"watch at example.org"; }, L"",
     {"E-mail error setting 'from' value to watch at example.org."}, {}, false},
    {"sender refused by the component", no_change, L"IMessage::put_From=0x80004005",
     {"E-mail error setting 'from' value to Watch <watch@example.org>."}, {}, false},
    {"second of three recipients invalid",
     [](mail& m) { m.to = {L"a@example.org", L"J\x00FCrgen", L"c@example.org"}; }, L"",
     {"E-mail error setting 'to' value to J\xC3\xBCrgen."}, {L"a@example.org"}, false},
    {"first recipient refused by the component",
     [](mail& m) { m.to = {L"a@example.org", L"b@example.org"}; }, L"IMessage::put_To=0x80070057",
     {"E-mail error setting 'to' value to a@example.org."}, {L"a@example.org"}, false},
    {"a positive result is no failure",
     [](mail& m) { m.to = {L"a@example.org", L"b@example.org"}; }, L"IMessage::put_To=1",
     {}, {L"a@example.org", L"b@example.org"}, true},
    {"invalid copy recipient", [](mail& m) { m.cc = {L"d@example.org", L" e@example.org"}; }, L"",
     {"E-mail error setting 'cc' value to  e@example.org."}, {L"ops@example.org"}, false},
    {"subject refused, its text taken literally", [](mail& m) { m.subject = L"CPU 100% %? %x"; },
     L"IMessage::put_Subject=0x80004005",
     {"E-mail error setting 'subject' value to CPU 100% %? %x."}, {L"ops@example.org"}, false},
    {"body refused", [](mail& m) { m.body = L"text"; }, L"IMessage::put_TextBody=0x80004005",
     {"E-mail error setting body value."}, {L"ops@example.org"}, false},
    {"send fails", [](mail& m) { m.password = L"S3cret-pw"; }, L"Send=0x80040211",
     {"Sending e-mail failed with result code 0x80040211"}, {L"ops@example.org"}, true},
    {"send fails with empty recipients only", [](mail& m) { m.to = {L""}; }, L"Send=0x80004005",
     {"Sending e-mail failed with result code 0x80004005"}, {}, true},
};

TEST_F(SendMail, EveryFailingStepLogsItsMessageAndEndsTheCall) {
    for (const failure_case& c : failure_cases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileW(record_.c_str());
        mail m;
        c.change(m);
        send_recorded(m, c.fail);
        const std::vector<std::string> log = log_collector::instance().take();
        EXPECT_EQ(c.log, log);
        EXPECT_EQ(c.to, values(L"IMessage::put_To"));
        EXPECT_EQ(c.sends, sent());
        if (!c.sends) {
            EXPECT_TRUE(calls(L"IMessage::put_Configuration").empty());
        }
        for (const std::string& line : log) EXPECT_EQ(std::string::npos, line.find("S3cret")) << line;
    }
}

TEST_F(SendMail, ACreationFaultOfTheConfigurationIsLoggedAndTheMessageReleased) {
    send_recorded(mail(), L"Configuration::CreateInstance=0x80004005");
    EXPECT_EQ((std::vector<std::string>{"Failed to create IConfiguration (80004005)",
                                        "E-mail error setting 'from' value to Watch <watch@example.org>."}),
              log_collector::instance().take());
    EXPECT_EQ(1u, calls(L"Message::CreateInstance").size());
    EXPECT_TRUE(calls(L"IMessage::put_From").empty());
}

TEST_F(SendMail, AMissingFieldCollectionStopsAtTheSenderButTheCharsetIsSet) {
    send_recorded(mail(), L"IConfiguration::get_Fields=0x80004005");
    // No creation message: both objects exist, only the collection is missing.
    EXPECT_EQ(std::vector<std::string>{"E-mail error setting 'from' value to Watch <watch@example.org>."},
              log_collector::instance().take());
    EXPECT_EQ(std::vector<std::wstring>{L"utf-8"}, values(L"IBodyPart::put_Charset"));
    EXPECT_TRUE(calls(L"IMessage::put_From").empty());
    EXPECT_FALSE(sent());
}

TEST_F(SendMail, WithoutItsBodyPartTheMessageIsStillSent) {
    send_recorded(mail(), L"IMessage::get_BodyPart=0x80004005");
    EXPECT_TRUE(calls(L"IBodyPart::put_Charset").empty());
    EXPECT_TRUE(sent());
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

}  // namespace
