// The notification e-mail through the recording CDO stand-in, registered in this process: the whole
// call sequence of one send and what a fault in each call does, the transport settings, the header
// names, and the attachments with their content types.
#include "cdo_stand_in.h"
#include "mail/headers.h"
#include "mail/send_mail.h"
#include "support/support.h"

#include <sstream>

namespace {

struct mail {
    std::wstring server = L"smtp.example.com:2525", user, password, from = L"Watch <watch@example.org>";
    std::vector<std::wstring> to = {L"ops@example.org"}, cc;
    std::wstring subject = L"down", body;
    std::vector<std::wstring> attachments;
    tolvarn::smtp_transport transport;
};

std::string local_now() {
    SYSTEMTIME t;
    char text[32];
    ::GetLocalTime(&t);
    std::snprintf(text, 32, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::vector<std::string> split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, at);) parts.push_back(part);
    return parts;
}

// The calls of one line of an expected record: "F name = value" stands for the three calls of a
// field write (F get_Item name, field put_Value value, F Update); lines are split at `at`.
std::string calls_of(const std::string& lines, char at = '\n') {
    std::string calls;
    for (const std::string& line : split(lines, at)) {
        const std::size_t space = line.find(' '), equals = line.find(" = ");
        calls += equals == std::string::npos
                     ? line + "\n"
                     : line.substr(0, space) + " get_Item " + line.substr(space + 1, equals - space - 1) +
                           "\nfield put_Value " + line.substr(equals + 3) + "\n" + line.substr(0, space) + " Update\n";
    }
    return calls;
}

class SendMail : public ts::folder_test {
protected:
    void SetUp() override {
        folder_test::SetUp();
        static const HRESULT registered = (::CoInitialize(nullptr), cdo_register_in_process());  // for the process
        ASSERT_EQ(S_OK, registered);
    }
    void reset(const wchar_t* fault) {
        ::DeleteFileW(path(L"record.txt").c_str());
        ts::capture::out().clear();
        cdo_configure(path(L"record.txt").c_str(), fault, 0);
    }
    // Sends `m` with the stand-in recording and answering `fault`; answers the record, whose date
    // must be the local time of the send (replaced by "<now>"). Every object must be released.
    std::string send(const mail& m, const std::wstring& fault = L"") {
        reset(fault.c_str());
        const std::string before = local_now();
        tolvarn::send_mail(m.server, m.user, m.password, m.from, m.to, m.cc, m.subject, m.body, m.attachments,
                           m.transport);
        const std::string after = local_now();
        EXPECT_EQ(0, cdo_live_objects()) << "objects left alive";
        std::string text = ts::read_file(path(L"record.txt"));
        const std::size_t date = text.find("date:") + 5;  // 4: none
        EXPECT_TRUE(date == 4 || (before <= text.substr(date, 19) && text.substr(date, 19) <= after)) << text;
        return date == 4 ? text : text.replace(date, 19, "<now>");
    }
    std::vector<std::string> log() const {
        cl::trace_flush(&cl::g_trace_out);
        return ts::capture::out().lines();
    }
};

// One whole send, and after "|" what a fault (0x80004005) in that call does: "K+N" keeps K calls
// after it (none when K is left out), skips the N calls after those, and the mail still goes,
// silently; otherwise the call ends with these log lines ("/" between lines; FROM: the sender's
// line). Without "|" the fault is ignored; in a field write's get_Item it is "+2".
const char whole_send[] = R"(msg create|Failed to create IMessage (80004005)/FROM
cfg create|Failed to create IConfiguration (80004005)/FROM
cfg get_Fields|FROM
msg get_Fields|FROM
msg get_BodyPart|+1
body put_Charset utf-8
cfg.fields cdo:sendemailaddress = Watch <watch@example.org>
msg put_From Watch <watch@example.org>|FROM
msg put_To a@example.org|E-mail error setting 'to' value to a@example.org.
msg put_To b@example.org, c@example.org|E-mail error setting 'to' value to b@example.org, c@example.org.
msg put_CC d@example.org|E-mail error setting 'cc' value to d@example.org.
msg put_Subject CPU 100% %? %x|E-mail error setting 'subject' value to CPU 100% %? %x.
msg put_TextBody It stopped.\n\rü€|E-mail error setting body value.
msg get_Attachments|+13
atts Add i4:-1|+12
att get_Fields|+11
att.fields get_Item urn:schemas:mailheader:content-disposition|+10
field put_Value attachment; filename="report.txt"|1+8
att.fields Update
att.fields get_Item urn:schemas:mailheader:content-type|+7
field put_Value text/plain|1+5
att.fields Update
att.fields Update|+4
att GetDecodedContentStream|+3
att.stream put_Type i4:1
att.stream Write bytes:3:1a47e90b|+1
att.stream Flush
cfg.fields cdo:sendusing = i4:2
cfg.fields cdo:smtpserverport = i4:25
cfg.fields cdo:smtpconnectiontimeout = i4:10
cfg.fields cdo:smtpauthenticate = i4:1
cfg.fields cdo:smtpserver = smtp.example.com:2525
cfg.fields cdo:sendusername = watchdog
cfg.fields cdo:sendpassword = S3cret-pw
msg.fields urn:schemas:httpmail:date = date:<now>
msg put_Configuration cfg
msg Send|Sending e-mail failed with result code 0x80004005
)";
const char releases[] = "~cfg.fields 3\n~msg.fields 2\n~cfg 1\n~msg 0\n";

TEST_F(SendMail, OneWholeSendAndAFaultInEachOfItsCalls) {
    mail m;
    m.user = L"watchdog", m.password = L"S3cret-pw", m.subject = L"CPU 100% %? %x",
    m.body = L"It stopped.\n\r\x00FC\x20AC";
    m.to = {L"a@example.org", L"", L"b@example.org, c@example.org"}, m.cc = {L"", L"d@example.org"};
    m.attachments = {path(L"report.txt")};
    ASSERT_TRUE(ts::write_file(path(L"report.txt"), "abc"));
    std::vector<std::string> calls, outcomes;
    for (const std::string& line : split(whole_send, '\n')) {
        const std::size_t bar = line.find('|');
        const std::vector<std::string> expanded = split(calls_of(line.substr(0, bar)), '\n');
        calls.insert(calls.end(), expanded.begin(), expanded.end());
        outcomes.insert(outcomes.end(), expanded.size(), "");
        outcomes[calls.size() - expanded.size()] = expanded.size() == 3       ? "+2"
                                                   : bar == std::string::npos ? ""
                                                                              : line.substr(bar + 1);
    }
    const auto join = [&](std::size_t from, std::size_t to) {
        std::string text;
        for (std::size_t i = from; i < to && i < calls.size(); ++i) text += calls[i] + "\n";
        return text;
    };
    EXPECT_EQ(join(0, calls.size()) + releases, send(m));
    EXPECT_EQ(std::vector<std::string>(), log());
    // The date is local time: under Wine, TZ (set by the build) puts this program off UTC.
    TIME_ZONE_INFORMATION zone;
    if (std::getenv("TZ") && ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        EXPECT_NE(0, (::GetTimeZoneInformation(&zone), zone.Bias));
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(calls[i]);
        const std::string record = send(m, std::to_wstring(i + 1) + L"=0x80004005");
        const char* outcome = outcomes[i].c_str();
        unsigned keep = 0, skip = 0;
        if (!*outcome || (*outcome == '+' && std::sscanf(outcome, "+%u", &skip)) ||
            std::sscanf(outcome, "%u+%u", &keep, &skip) == 2) {
            EXPECT_EQ(join(0, i) + calls[i] + " -> 0x80004005\n" + join(i + 1, i + 1 + keep) +
                          join(i + 1 + keep + skip, calls.size()) + releases, record);
            EXPECT_EQ(std::vector<std::string>(), log());
            continue;
        }
        std::string lines = outcome;
        for (std::size_t at; (at = lines.find("FROM")) != std::string::npos;)
            lines.replace(at, 4, "E-mail error setting 'from' value to Watch <watch@example.org>.");
        EXPECT_EQ(split(lines, '/'), log());
        EXPECT_EQ(calls[i] == "msg Send", record.find("msg Send") != std::string::npos);
    }
}

// Rows: what changes, the fault, then text the record holds and text it must not hold.
TEST_F(SendMail, TransportRecipientsSubjectAndAPositiveFault) {
    ASSERT_TRUE(ts::write_file(path(L"a.txt"), "a"));
    const std::tuple<std::function<void(mail&)>, const wchar_t*, const char*, const char*> rows[] = {
        {[](mail& m) { m.transport = {587, true}; }, L"", "smtpserverport\nfield put_Value i4:587\ncfg.fields Update\n"
         "cfg.fields get_Item cdo:smtpusessl\nfield put_Value bool:-1\ncfg.fields Update\ncfg.fields get_Item cdo:smtpconn", "->"},
        {[](mail& m) { m.to = {L"", L""}, m.cc = {L""}; }, L"", "msg put_Subject down\nmsg put_TextBody \ncfg", "put_"
         "To"},
        {[](mail& m) { m.subject = L""; }, L"", "msg put_TextBody", "put_Subject"},
        {[](mail&) {}, L"Send=1", "msg Send -> 0x00000001\n", "put_Value attachment"},  // a success: no line
        // The part's own Update answering S_FALSE ends the attachment (a field's Update is ignored).
        {[this](mail& m) { m.attachments = {path(L"a.txt")}; }, L"Update=1",
         "att.fields Update -> 0x00000001\ncfg.fields get_Item", "GetDecodedContentStream"},
    };
    for (const auto& row : rows) {
        mail m;
        std::get<0>(row)(m);
        const std::string record = send(m, std::get<1>(row));
        EXPECT_NE(std::string::npos, record.find(std::get<2>(row))) << record;
        EXPECT_EQ(std::string::npos, record.find(std::get<3>(row))) << record;
        EXPECT_EQ(std::vector<std::string>(), log());
    }
}

// set_header maps a name in any letter case to its property or field; address names are checked.
// Rows: name, value, fault, result, the calls between the creation and the release of the message.
TEST_F(SendMail, HeaderNamesInAnyLetterCase) {
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, HRESULT, const char*> rows[] = {
        {L"FROM", L"a@b", L"", S_OK, "cfg.fields cdo:sendemailaddress = a@b|msg put_From a@b"},
        {L"From", L"a@b", L"put_Value=5", S_OK, "cfg.fields cdo:sendemailaddress = a@b -> 0x00000005|msg put_From a@b"},
        {L"To", L"a@b, c <d@e>", L"", S_OK, "msg put_To a@b, c <d@e>"},
        {L"cC", L"a@b", L"", S_OK, "msg put_CC a@b"},
        {L"bcc", L"a@b", L"", S_OK, "msg put_BCC a@b"},
        {L"Reply-TO", L"a@b", L"", S_OK, "cfg.fields cdo:senduserreplyemailaddress = a@b|msg put_ReplyTo a@b"},
        {L"reply-to", L"a@b", L"put_Value=0x80070005", E_ACCESSDENIED,
         "cfg.fields cdo:senduserreplyemailaddress = a@b -> 0x80070005"},
        {L"Original-Recipient", L"a@b", L"", S_OK, "msg.fields urn:schemas:mailheader:original-recipient = a@b"},
        {L"In-Reply-To", L"x", L"", S_OK, "msg.fields urn:schemas:mailheader:in-reply-to = x"},
        {L"FollowUp-To", L"x", L"", S_OK, "msg.fields urn:schemas:mailheader:followup-to = x|msg put_FollowUpTo x"},
        {L"Thread-INDEX", L"x", L"", S_OK, "msg.fields urn:schemas:mailheader:thread-index = x"},
        {L"Use-SSL", L"x", L"", S_OK, "cfg.fields cdo:smtpusessl = x"},
        {L"SUBJECT", L"x", L"put_Subject=0x80004005", E_FAIL, "msg put_Subject x -> 0x80004005"},
        {L"to", L" a@b", L"", E_INVALIDARG, ""},
        {L"x-other", L"a@b", L"", E_INVALIDARG, ""},
        {L"T\x00D3", L"a@b", L"", E_INVALIDARG, ""},  // only A to Z are lowered
    };
    for (const auto& row : rows) {
        reset(std::get<2>(row));
        {
            tolvarn::mail_message mail;
            EXPECT_EQ(std::get<3>(row), tolvarn::set_header(mail, tolvarn::make_bstr(std::get<0>(row)).get(),
                                                            tolvarn::make_bstr(std::get<1>(row)).get()));
        }
        const std::string record = ts::read_file(path(L"record.txt")),
                          expected = *std::get<4>(row) ? calls_of(std::get<4>(row), '|') : "";
        const std::size_t begin = record.find("utf-8\n") + 6;
        EXPECT_EQ(expected, record.substr(begin, record.find("~cfg.fields") - begin)) << ts::utf8(std::get<0>(row));
    }
}

// Each attachment as "name type bytes" (count and hash), in order.
std::vector<std::string> attachments_of(const std::string& record) {
    std::vector<std::string> out;
    for (const std::string& line : split(record.substr(0, record.find("cfg.fields get_Item cdo:sendusing")), '\n')) {
        if (line.rfind("atts Add", 0) == 0) out.emplace_back();
        if (line.rfind("field put_Value attachment; filename=\"", 0) == 0)
            out.back() = line.substr(38, line.size() - 39);
        else if (line.rfind("field put_Value ", 0) == 0 && !out.empty()) out.back() += " " + line.substr(16);
        if (line.rfind("att.stream Write ", 0) == 0) out.back() += " " + line.substr(17);
    }
    return out;
}

TEST_F(SendMail, AttachmentsTheirBytesAndContentTypes) {
    // Content types in the registry: taken as they are (not expanded), trailing NULs removed, any
    // length; a value that is not a string, or empty, counts as none.
    const std::wstring long_type = L"application/x-" + std::wstring(300, L'l');
    const DWORD number = 7;
    const std::tuple<const wchar_t*, DWORD, const void*, std::size_t> keys[] = {
        {L".zzs", REG_SZ, L"application/x-test", sizeof L"application/x-test"},
        {L".zze", REG_EXPAND_SZ, L"application/%x-expand%", sizeof L"application/%x-expand%"},
        {L".zzn", REG_SZ, L"text/x-two\0\0", sizeof L"text/x-two\0\0"},
        {L".zzl", REG_SZ, long_type.c_str(), (long_type.size() + 1) * sizeof(wchar_t)},
        {L".zzd", REG_DWORD, &number, sizeof number},
        {L".zzz", REG_SZ, L"", sizeof L""},
    };
    struct deleter {
        ~deleter() {
            for (const wchar_t* k : {L".zzs", L".zze", L".zzn", L".zzl", L".zzd", L".zzz"})
                ::RegDeleteKeyW(HKEY_CLASSES_ROOT, k);
        }
    } delete_keys;
    for (const auto& k : keys)
        ASSERT_EQ(0, ::RegSetKeyValueW(HKEY_CLASSES_ROOT, std::get<0>(k), L"Content Type", std::get<1>(k),
                                       std::get<2>(k), static_cast<DWORD>(std::get<3>(k))));
    std::string bytes(0x100001, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    ASSERT_TRUE(::CreateDirectoryW(path(L"dir.q1").c_str(), nullptr) &&
                ::CreateDirectoryW(path(L"dir.d").c_str(), nullptr));
    ASSERT_TRUE(ts::write_file(path(L"empty.txt"), "") &&
                ts::write_file(path(L"exact.q1"), bytes.substr(0, 0x100000)) && ts::write_file(path(L"cut.q1"), bytes));
    mail m;
    for (const wchar_t* name : {L"empty.txt", L"exact.q1", L"cut.q1", L"missing.txt", L"dir.q1", L"b.zzs", L"c.ZZS",
                                L"d.zze", L"e.zzn", L"f.zzl", L"g.zzd", L"h.zzz", L"DATA.Qqx9", L"noext",
                                L"dir.d\\plain", L"dir.d/a.txt", L"", L"colon.txt"}) {
        m.attachments.push_back(*name ? path(name) : L"");
        ASSERT_TRUE(!*name || m.attachments.size() < 6 || ts::write_file(path(name), "x"));  // "x" from b.zzs on
    }
    m.attachments.back() = path(L"").substr(0, 2) + L"colon.txt";  // "X:name": the current folder of drive X
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ::SetCurrentDirectoryW(path(L"").c_str());
    const std::string record = send(m);
    ::SetCurrentDirectoryW(previous);
    const std::string x = " bytes:1:fd0c5087", mib = " bytes:1048576:0af27718";
    EXPECT_EQ((std::vector<std::string>{"empty.txt text/plain bytes:0:811c9dc5", "exact.q1 application/q1" + mib,
        "cut.q1 application/q1" + mib, "b.zzs application/x-test" + x, "c.ZZS application/x-test" + x,
        "d.zze application/%x-expand%" + x, "e.zzn text/x-two" + x, "f.zzl " + ts::utf8(long_type) + x,
        "g.zzd application/zzd" + x, "h.zzz application/zzz" + x, "DATA.Qqx9 application/Qqx9" + x,
        "noext application/octet-stream" + x, "plain application/octet-stream" + x, "dir.d/a.txt text/plain" + x,
        "colon.txt text/plain" + x}), attachments_of(record));
    EXPECT_NE(std::string::npos, record.find("msg Send\n"));
    EXPECT_EQ(std::vector<std::string>(), log());
}

}  // namespace
