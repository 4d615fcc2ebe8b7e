// The notification e-mail, sent through the recording CDO stand-in: what reaches the component
// and in which order, what is logged on every failure, attachments and their content types, and
// that every object handed out is released again.
#include "mail/send_mail.h"

#include "cl/base/unique_handle.h"
#include "cl/trace/lined_trace.h"
#include "cl/trace/trace.h"
#include "mail/cdo_stub_record.h"
#include "mail/cdo_stub_registry.h"
#include "mail/cdo_stub_settings.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::wstring config_ns = L"http://schemas.microsoft.com/cdo/configuration/";
const std::wstring date_field = L"urn:schemas:httpmail:date";
const std::wstring disposition_field = L"urn:schemas:mailheader:content-disposition";
const std::wstring type_field = L"urn:schemas:mailheader:content-type";
const std::wstring vt_i4 = L"3", vt_date = L"7", vt_bstr = L"8", vt_byte_array = L"8209";
const std::size_t max_bytes = 1048576;

// ---- the log ---------------------------------------------------------------------------------

// Collects the lines written to the main trace list. Added once and never destroyed: the list
// keeps its pointer until the process ends.
class log_collector : public cl::lined_trace {
public:
    static log_collector& instance() {
        static log_collector* collector = [] {
            auto* made = new log_collector;
            cl::trace_add(&cl::g_trace_out, made);
            return made;
        }();
        return *collector;
    }
    std::vector<std::string> take() {
        cl::trace_flush(&cl::g_trace_out);
        std::vector<std::string> out;
        out.swap(lines_);
        return out;
    }

protected:
    void output_line(const char* line) override {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        lines_.push_back(text);
    }

private:
    std::vector<std::string> lines_;
};

// ---- files and registry --------------------------------------------------------------------

std::wstring make_temp_folder() {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    const std::wstring folder = std::wstring(base) + L"tolvarn_mail_" + std::to_wstring(::GetCurrentProcessId()) +
                                L"_" + std::to_wstring(++counter) + L"\\";
    return ::CreateDirectoryW(folder.c_str(), nullptr) ? folder : std::wstring();
}

void remove_tree(const std::wstring& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(folder + name + L"\\");
            else
                ::DeleteFileW((folder + name).c_str());
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

bool write_file(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    cl::unique_file_handle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                         nullptr) &&
                             written == bytes.size());
}

std::vector<unsigned char> pattern_bytes(std::size_t count) {
    std::vector<unsigned char> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// An extension key under HKEY_CLASSES_ROOT with a "Content Type" value of the given type and raw
// bytes, removed again by the destructor.
class extension_key {
public:
    extension_key(const std::wstring& extension, DWORD type, const void* data, DWORD bytes) : name_(L"." + extension) {
        cl::unique_reg_key key;
        status_ = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, name_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (status_ == ERROR_SUCCESS)
            status_ = ::RegSetValueExW(key.get(), L"Content Type", 0, type, static_cast<const BYTE*>(data), bytes);
    }
    ~extension_key() { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, name_.c_str()); }
    extension_key(const extension_key&) = delete;
    extension_key& operator=(const extension_key&) = delete;
    LSTATUS status() const { return status_; }

private:
    std::wstring name_;
    LSTATUS status_;
};

bool key_exists(const std::wstring& name) {
    cl::unique_reg_key key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool has_content_type(const std::wstring& name) {
    cl::unique_reg_key key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExW(key.get(), L"Content Type", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string ascii(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// ---- the stand-in ----------------------------------------------------------------------------

long live_objects() {
    HMODULE dll = ::GetModuleHandleW(L"cdo_stub.dll");
    if (!dll) return 0;
    // Through void*: the function types differ by design.
    auto count = reinterpret_cast<long(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "cdo_stub_live_objects")));
    return count ? count() : -1;
}

// A recorded call without process and serial. An expected argument "*" matches anything.
struct call_line {
    std::wstring object;
    std::wstring call;
    std::vector<std::wstring> args;
    HRESULT result = S_OK;
};

bool operator==(const call_line& a, const call_line& b) {
    if (a.object != b.object || a.call != b.call || a.result != b.result || a.args.size() != b.args.size())
        return false;
    for (std::size_t i = 0; i < a.args.size(); ++i)
        if (a.args[i] != b.args[i] && a.args[i] != L"*" && b.args[i] != L"*") return false;
    return true;
}

void PrintTo(const call_line& c, std::ostream* os) {
    cdo_stub::entry e;
    e.object = c.object;
    e.call = c.call;
    e.result = c.result;
    e.args = c.args;
    *os << cdo_stub::to_string(e);
}

// The three calls of one field write: get_Item, put_Value, Update.
void field_write(std::vector<call_line>& lines, const std::wstring& object, const std::wstring& name,
                 const std::wstring& type, const std::wstring& value) {
    lines.push_back({object, L"Fields::get_Item", {vt_bstr, name}});
    lines.push_back({object, L"Field::put_Value", {name, type, value}});
    lines.push_back({object, L"Fields::Update", {}});
}

std::wstring hex_of(const std::vector<unsigned char>& bytes) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

double local_now() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    double date = 0;
    ::SystemTimeToVariantTime(&now, &date);
    return date;
}

// The nine inputs of send_mail, with a plain valid message as the default.
struct mail {
    std::wstring server = L"smtp.example.com:2525";
    std::wstring username;
    std::wstring password;
    std::wstring from = L"Watch <watch@example.org>";
    std::vector<std::wstring> to = {L"ops@example.org"};
    std::vector<std::wstring> cc;
    std::wstring subject;
    std::wstring body;
    std::vector<std::wstring> attachments;
};

void send(const mail& m) {
    tolvarn::send_mail(m.server, m.username, m.password, m.from, m.to, m.cc, m.subject, m.body, m.attachments);
}

class SendMail : public ::testing::Test {
protected:
    void SetUp() override {
        log_collector::instance().take();
        folder_ = make_temp_folder();
        ASSERT_FALSE(folder_.empty());
        record_ = folder_ + L"record.txt";
        ASSERT_EQ(ERROR_SUCCESS, cdo_stub::register_server());
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        com_ = true;
    }
    void TearDown() override {
        if (com_) {
            ::CoFreeUnusedLibraries();
            ::CoUninitialize();
        }
        cdo_stub::unregister_server();
        remove_tree(folder_);
    }

    // Sends with the stand-in recording (and failing `fail`), then checks that every object it
    // handed out has been released.
    void send_recorded(const mail& m, const std::wstring& fail = std::wstring()) {
        cdo_stub::settings s;
        s.record_path = record_;
        s.fail = fail;
        cdo_stub::scoped_environment env(s);
        send(m);
        EXPECT_EQ(0, live_objects()) << "CDO objects left alive";
    }

    // This process's calls, without the module's own lines.
    std::vector<cdo_stub::entry> entries() const {
        std::vector<cdo_stub::entry> mine;
        for (const cdo_stub::entry& e : cdo_stub::read_record(record_))
            if (e.pid == ::GetCurrentProcessId() && e.object != L"stub") mine.push_back(e);
        return mine;
    }
    std::vector<call_line> lines() const {
        std::vector<call_line> out;
        for (const cdo_stub::entry& e : entries()) out.push_back({e.object, e.call, e.args, e.result});
        return out;
    }
    std::vector<cdo_stub::entry> calls(const std::wstring& call, const std::wstring& object = std::wstring()) const {
        return cdo_stub::select(entries(), call, object);
    }
    // The values given to one method, in order.
    std::vector<std::wstring> values(const std::wstring& call) const {
        std::vector<std::wstring> out;
        for (const cdo_stub::entry& e : calls(call)) out.push_back(e.arg(0));
        return out;
    }
    // Name, type and value of each field written on `object`, in order.
    std::vector<std::vector<std::wstring>> field_values(const std::wstring& object) const {
        std::vector<std::vector<std::wstring>> out;
        for (const cdo_stub::entry& e : calls(L"Field::put_Value", object)) out.push_back(e.args);
        return out;
    }
    bool sent() const { return !calls(L"IMessage::Send").empty(); }

    std::wstring file(const std::wstring& name, const std::vector<unsigned char>& bytes) const {
        const std::wstring path = folder_ + name;
        EXPECT_TRUE(write_file(path, bytes)) << "cannot write the test file";
        return path;
    }

    std::wstring folder_;
    std::wstring record_;
    bool com_ = false;
};

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

// ---- attachments -------------------------------------------------------------------------------

// The bytes written for each attachment and its two header fields, in order.
struct attachment_record {
    std::wstring disposition;
    std::wstring type;
    std::vector<unsigned char> bytes;
    bool written = false;
};

std::vector<attachment_record> attachments_of(const std::vector<cdo_stub::entry>& all) {
    std::vector<attachment_record> out;
    for (const cdo_stub::entry& e : all) {
        if (e.call == L"IBodyParts::Add") out.emplace_back();
        if (out.empty()) continue;
        if (e.call == L"Field::put_Value" && e.object.compare(0, 18, L"message.attachment") == 0) {
            if (e.arg(0) == disposition_field) out.back().disposition = e.arg(2);
            if (e.arg(0) == type_field) out.back().type = e.arg(2);
        }
        if (e.call == L"_Stream::Write") {
            EXPECT_EQ(vt_byte_array, e.arg(0));
            EXPECT_EQ(L"0", e.arg(3)) << "lower bound";
            out.back().bytes = cdo_stub::hex_bytes(e.arg(2));
            EXPECT_EQ(std::to_wstring(out.back().bytes.size()), e.arg(1));
            out.back().written = true;
        }
    }
    return out;
}

TEST_F(SendMail, AttachmentsCarryTheirBytesUpToOneMebibyte) {
    const std::vector<unsigned char> big = pattern_bytes(max_bytes + 1);
    const std::vector<unsigned char> exact(big.begin(), big.begin() + max_bytes);
    ASSERT_TRUE(::CreateDirectoryW((folder_ + L"folder.txt").c_str(), nullptr));
    mail m;
    m.attachments = {
        file(L"empty.txt", {}),
        folder_ + L"missing.txt",
        file(L"exact.bin", exact),
        L"",
        folder_ + L"folder.txt",
        file(L"over.bin", big),
    };
    send_recorded(m);

    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(3u, parts.size());
    EXPECT_EQ(L"attachment; filename=\"empty.txt\"", parts[0].disposition);
    EXPECT_EQ(L"text/plain", parts[0].type);
    EXPECT_TRUE(parts[0].written);
    EXPECT_TRUE(parts[0].bytes.empty());
    EXPECT_EQ(L"attachment; filename=\"exact.bin\"", parts[1].disposition);
    EXPECT_TRUE(parts[1].bytes == exact) << parts[1].bytes.size() << " bytes";
    EXPECT_EQ(L"attachment; filename=\"over.bin\"", parts[2].disposition);
    EXPECT_TRUE(parts[2].bytes == exact) << parts[2].bytes.size() << " bytes";
    EXPECT_EQ(3u, calls(L"_Stream::Flush").size());
    // The missing file, the empty path and the folder are skipped without a word.
    EXPECT_TRUE(sent());
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

TEST_F(SendMail, TheContentTypeComesFromTheRegistryOrTheExtension) {
    ASSERT_FALSE(key_exists(L".Qqx9")) << "the test needs an extension without registry entry";
    const wchar_t expand[] = L"application/%x-expand%";
    const wchar_t two_nuls[] = L"text/x-two\0\0";
    const std::wstring long_type = L"application/x-" + std::wstring(300, L'l');
    const DWORD dword = 7;
    extension_key zzz(L"zzz", REG_SZ, L"application/x-test", sizeof L"application/x-test");
    extension_key zzy(L"zzy", REG_EXPAND_SZ, expand, sizeof expand);
    extension_key zzn(L"zzn", REG_SZ, two_nuls, sizeof two_nuls);
    extension_key zzl(L"zzl", REG_SZ, long_type.c_str(), static_cast<DWORD>((long_type.size() + 1) * sizeof(wchar_t)));
    extension_key zzd(L"zzd", REG_DWORD, &dword, sizeof dword);
    extension_key zze(L"zze", REG_SZ, L"", sizeof L"");
    for (const extension_key* key : {&zzz, &zzy, &zzn, &zzl, &zzd, &zze}) ASSERT_EQ(ERROR_SUCCESS, key->status());

    // A path whose only dot belongs to a folder name, and a file that has no extension.
    const std::wstring dotted = folder_ + L"dir.d\\";
    ASSERT_TRUE(::CreateDirectoryW(dotted.c_str(), nullptr));
    struct {
        std::wstring path;
        std::wstring name;
        std::wstring type;
    } cases[] = {
        {file(L"a.txt", {1}), L"a.txt", L"text/plain"},
        {file(L"b.zzz", {2}), L"b.zzz", L"application/x-test"},
        {file(L"c.ZZZ", {3}), L"c.ZZZ", L"application/x-test"},
        {file(L"d.zzy", {4}), L"d.zzy", expand},
        {file(L"e.zzn", {5}), L"e.zzn", L"text/x-two"},
        {file(L"f.zzl", {6}), L"f.zzl", long_type},
        {file(L"g.zzd", {7}), L"g.zzd", L"application/zzd"},
        {file(L"h.zze", {8}), L"h.zze", L"application/zze"},
        {file(L"DATA.Qqx9", {9}), L"DATA.Qqx9", L"application/Qqx9"},
        {file(L"noext", {10}), L"noext", L"application/octet-stream"},
        {file(L"dir.d\\plain", {11}), L"plain", L"application/octet-stream"},
        // A forward slash does not separate: it stays in the name.
        {folder_ + L"dir.d/a.txt", L"dir.d/a.txt", L"text/plain"},
    };
    ASSERT_TRUE(write_file(dotted + L"a.txt", {12}));
    // The suffix rule applies to a key "." only when the registry has none.
    const bool dot_key_has_type = has_content_type(L".");

    mail m;
    for (const auto& c : cases) m.attachments.push_back(c.path);
    send_recorded(m);

    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(sizeof cases / sizeof cases[0], parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "attachment " << i);
        EXPECT_EQ(L"attachment; filename=\"" + cases[i].name + L"\"", parts[i].disposition);
        if (cases[i].type != L"application/octet-stream" || !dot_key_has_type) {
            EXPECT_EQ(cases[i].type, parts[i].type);
        }
        EXPECT_EQ(1u, parts[i].bytes.size());
    }
}

TEST_F(SendMail, ADriveRelativePathIsNamedByTheTextBehindTheColon) {
    // "X:name" is name in the current folder of drive X.
    const std::wstring drive = folder_.substr(0, 2);
    ASSERT_EQ(L':', drive[1]);
    wchar_t previous[MAX_PATH];
    ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, previous));
    file(L"colon.txt", {1, 2, 3});
    ASSERT_TRUE(::SetCurrentDirectoryW(folder_.c_str()));
    mail m;
    m.attachments = {drive + L"colon.txt"};
    send_recorded(m);
    ::SetCurrentDirectoryW(previous);

    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(1u, parts.size());
    EXPECT_EQ(L"attachment; filename=\"colon.txt\"", parts[0].disposition);
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), parts[0].bytes);
}

TEST_F(SendMail, AFileLockedAgainstReadingIsSkippedSilently) {
    const std::wstring locked = file(L"locked.txt", {1});
    cl::unique_file_handle holder(
        ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    mail m;
    m.attachments = {locked, file(L"free.txt", {2})};
    send_recorded(m);
    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(1u, parts.size());
    EXPECT_EQ(L"attachment; filename=\"free.txt\"", parts[0].disposition);
    EXPECT_TRUE(sent());
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

// Any non-zero result of an attachment step ends that attachment only; the mail still goes.
TEST_F(SendMail, AFailingAttachmentStepDropsTheAttachmentAndTheSendGoesOn) {
    struct {
        const wchar_t* fail;
        const wchar_t* last_call;  // the last attachment call made
        bool part_added;
    } cases[] = {
        {L"IMessage::get_Attachments=0x80004005", L"IMessage::get_Attachments", false},
        {L"IBodyParts::Add=0x80004005", L"IBodyParts::Add", false},
        {L"IBodyPart::get_Fields=1", L"IBodyPart::get_Fields", true},
        // A positive answer of get_Item counts as failure in a field write.
        {L"Fields::get_Item=1", L"Fields::get_Item", true},
        {L"Field::put_Value=0x80004005", L"Fields::Update", true},
        {L"Fields::Update=1", L"Fields::Update", true},
        {L"IBodyPart::GetDecodedContentStream=0x80004005", L"IBodyPart::GetDecodedContentStream", true},
        {L"_Stream::Write=0x8007000E", L"_Stream::Write", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << ascii(c.fail));
        ::DeleteFileW(record_.c_str());
        mail m;
        m.attachments = {file(L"a.txt", {1})};
        send_recorded(m, c.fail);
        const std::vector<cdo_stub::entry> all = entries();
        // The calls between the body and the transport settings.
        std::vector<std::wstring> attachment_calls;
        bool in = false;
        for (const cdo_stub::entry& e : all) {
            if (e.call == L"IMessage::put_TextBody") {
                in = true;
                continue;
            }
            if (in && e.object == L"configuration") break;
            if (in) attachment_calls.push_back(e.call);
        }
        ASSERT_FALSE(attachment_calls.empty());
        EXPECT_EQ(c.last_call, attachment_calls.back());
        EXPECT_TRUE(calls(L"_Stream::Flush").empty());
        EXPECT_EQ(c.part_added, !calls(L"IBodyParts::Add").empty() && calls(L"IBodyParts::Add")[0].result == S_OK);
        EXPECT_TRUE(sent());
        EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
    }
}

}  // namespace
