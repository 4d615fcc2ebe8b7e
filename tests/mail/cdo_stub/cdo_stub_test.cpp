// The CDO stand-in driven through the platform's interface declarations, the way the mail job
// drives CDO: what it records, its reference counting, the methods beyond the mail job's, and the
// test-side reader of its record.
#include "mail/cdo_stub/cdo_stub_test_fixture.h"

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

namespace {

using namespace cdo_stub_test;

// ---- a whole send -------------------------------------------------------------------------

TEST_F(CdoStub, RecordsEveryCallOfASendInOrder) {
    cdo_stub::scoped_environment env(with_record());
    // Texts that need every escape of the record: TAB, CR LF, backslash, NUL, a lone surrogate,
    // and characters beyond ASCII and beyond the BMP.
    const wchar_t raw_subject[] = L"Tab\there \\ NUL\0end \xD800 lone";
    const std::wstring subject(raw_subject, sizeof raw_subject / sizeof raw_subject[0] - 1);
    const std::wstring body = L"Line 1\r\nLine 2: \x00FC\x20AC \xD83D\xDE00";
    std::vector<unsigned char> content;
    for (int i = 0; i < 300; ++i) content.push_back(static_cast<unsigned char>(i * 7));
    SYSTEMTIME st = {2024, 2, 4, 29, 13, 45, 30, 0};
    double now = 0;
    ASSERT_TRUE(::SystemTimeToVariantTime(&st, &now));

    {
        cdo_objects cdo;
        ASSERT_EQ(S_OK, cdo.message_result);
        ASSERT_EQ(S_OK, cdo.configuration_result);
        com_ptr<CDO::Fields> config_fields, message_fields;
        ASSERT_EQ(S_OK, cdo.configuration.get()->get_Fields(config_fields.put()));
        ASSERT_EQ(S_OK, cdo.message.get()->get_Fields(message_fields.put()));
        {
            com_ptr<CDO::IBodyPart> body_part;
            ASSERT_EQ(S_OK, cdo.message.get()->get_BodyPart(body_part.put()));
            EXPECT_EQ(S_OK, body_part.get()->put_Charset(bstr(L"utf-8").get()));
        }
        variant from;
        set_text(from, L"Watch <watch@example.org>");
        EXPECT_EQ(S_OK, write_field(config_fields.get(), cdoSendEmailAddress, from.v));
        EXPECT_EQ(S_OK, cdo.message.get()->put_From(bstr(L"Watch <watch@example.org>").get()));
        EXPECT_EQ(S_OK, cdo.message.get()->put_To(bstr(L"a@example.org").get()));
        EXPECT_EQ(S_OK, cdo.message.get()->put_To(bstr(L"b@example.org, c@example.org").get()));
        EXPECT_EQ(S_OK, cdo.message.get()->put_CC(bstr(L"d@example.org").get()));
        EXPECT_EQ(S_OK, cdo.message.get()->put_Subject(bstr(subject).get()));
        EXPECT_EQ(S_OK, cdo.message.get()->put_TextBody(bstr(body).get()));
        {
            com_ptr<CDO::IBodyParts> attachments;
            com_ptr<CDO::IBodyPart> part;
            com_ptr<CDO::Fields> part_fields;
            com_ptr<CDO::_Stream> stream;
            ASSERT_EQ(S_OK, cdo.message.get()->get_Attachments(attachments.put()));
            ASSERT_EQ(S_OK, attachments.get()->Add(-1, part.put()));
            ASSERT_EQ(S_OK, part.get()->get_Fields(part_fields.put()));
            variant disposition, type, bytes;
            set_text(disposition, L"attachment; filename=\"a.bin\"");
            set_text(type, L"application/bin");
            set_bytes(bytes, content);
            EXPECT_EQ(S_OK, write_field(part_fields.get(), cdoContentDisposition, disposition.v));
            EXPECT_EQ(S_OK, write_field(part_fields.get(), cdoContentType, type.v));
            EXPECT_EQ(S_OK, part_fields.get()->Update());
            ASSERT_EQ(S_OK, part.get()->GetDecodedContentStream(stream.put()));
            EXPECT_EQ(S_OK, stream.get()->put_Type(CDO::adTypeBinary));
            EXPECT_EQ(S_OK, stream.get()->Write(bytes.v));
            EXPECT_EQ(S_OK, stream.get()->Flush());
        }
        variant sendusing, server, date;
        set_i4(sendusing, 2);
        set_text(server, L"smtp.example.org:587");
        V_VT(&date.v) = VT_DATE;
        V_DATE(&date.v) = now;
        EXPECT_EQ(S_OK, write_field(config_fields.get(), cdoSendUsingMethod, sendusing.v));
        EXPECT_EQ(S_OK, write_field(config_fields.get(), cdoSMTPServer, server.v));
        EXPECT_EQ(S_OK, write_field(message_fields.get(), cdoDate, date.v));
        EXPECT_EQ(S_OK, cdo.message.get()->put_Configuration(cdo.configuration.get()));
        EXPECT_EQ(S_OK, cdo.message.get()->Send());
        // Released in the mail job's order: config fields, message fields, configuration, message.
        config_fields.reset();
        message_fields.reset();
        cdo.configuration.reset();
        EXPECT_GT(live_objects(), 0);
    }
    EXPECT_EQ(0, live_objects());

    std::vector<cdo_stub::entry> all = entries();
    ASSERT_GE(all.size(), 2u);
    const unsigned message_serial = all[0].serial;
    const std::wstring config_serial = std::to_wstring(all[1].serial);
    for (const cdo_stub::entry& e : all)
        EXPECT_EQ(e.object.compare(0, 7, L"message") == 0 ? message_serial : all[1].serial, e.serial)
            << cdo_stub::to_string(e);

    std::wstring hex;
    for (unsigned char b : content) {
        wchar_t pair[3];
        std::swprintf(pair, 3, L"%02x", b);
        hex += pair;
    }
    std::vector<call_line> expected = {
        {L"message", L"Message::CreateInstance", S_OK, {}},
        {L"configuration", L"Configuration::CreateInstance", S_OK, {}},
        {L"configuration", L"IConfiguration::get_Fields", S_OK, {}},
        {L"message", L"IMessage::get_Fields", S_OK, {}},
        {L"message", L"IMessage::get_BodyPart", S_OK, {}},
        {L"message.body", L"IBodyPart::put_Charset", S_OK, {L"utf-8"}},
    };
    add_field_write(expected, L"configuration", cdoSendEmailAddress, {L"8", L"Watch <watch@example.org>"});
    std::vector<call_line> headers = {
        {L"message", L"IMessage::put_From", S_OK, {L"Watch <watch@example.org>"}},
        {L"message", L"IMessage::put_To", S_OK, {L"a@example.org"}},
        {L"message", L"IMessage::put_To", S_OK, {L"b@example.org, c@example.org"}},
        {L"message", L"IMessage::put_CC", S_OK, {L"d@example.org"}},
        {L"message", L"IMessage::put_Subject", S_OK, {subject}},
        {L"message", L"IMessage::put_TextBody", S_OK, {body}},
        {L"message", L"IMessage::get_Attachments", S_OK, {}},
        {L"message.attachments", L"IBodyParts::Add", S_OK, {L"-1", L"message.attachment1"}},
        {L"message.attachment1", L"IBodyPart::get_Fields", S_OK, {}},
    };
    expected.insert(expected.end(), headers.begin(), headers.end());
    add_field_write(expected, L"message.attachment1", cdoContentDisposition, {L"8", L"attachment; filename=\"a.bin\""});
    add_field_write(expected, L"message.attachment1", cdoContentType, {L"8", L"application/bin"});
    std::vector<call_line> stream = {
        {L"message.attachment1", L"Fields::Update", S_OK, {}},
        {L"message.attachment1", L"IBodyPart::GetDecodedContentStream", S_OK, {}},
        {L"message.attachment1.stream", L"_Stream::put_Type", S_OK, {L"1"}},
        {L"message.attachment1.stream", L"_Stream::Write", S_OK, {L"8209", L"300", hex, L"0"}},
        {L"message.attachment1.stream", L"_Stream::Flush", S_OK, {L"300"}},
    };
    expected.insert(expected.end(), stream.begin(), stream.end());
    add_field_write(expected, L"configuration", cdoSendUsingMethod, {L"3", L"2"});
    add_field_write(expected, L"configuration", cdoSMTPServer, {L"8", L"smtp.example.org:587"});
    add_field_write(expected, L"message", cdoDate, {L"7", L"*", L"2024-02-29 13:45:30"});
    expected.push_back({L"message", L"IMessage::put_Configuration", S_OK, {L"stub", config_serial}});
    expected.push_back({L"message", L"IMessage::Send", S_OK, {L"stub", config_serial, L"*", L"0"}});
    EXPECT_EQ(expected, lines());

    std::vector<cdo_stub::entry> dates = cdo_stub::select(all, L"Field::put_Value", L"message");
    ASSERT_EQ(1u, dates.size());
    EXPECT_EQ(now, std::stod(dates[0].arg(2)));
    std::vector<cdo_stub::entry> sends = cdo_stub::select(all, L"IMessage::Send");
    ASSERT_EQ(1u, sends.size());
    EXPECT_GT(std::stol(sends[0].arg(2)), 0);

    // The last release says so, in this process's lines.
    std::vector<cdo_stub::entry> record = cdo_stub::read_record(record_);
    std::vector<cdo_stub::entry> released = cdo_stub::select(record, L"live-objects", L"stub");
    ASSERT_EQ(1u, released.size());
    EXPECT_EQ(L"0", released[0].arg(0));
    EXPECT_EQ(::GetCurrentProcessId(), released[0].pid);
    EXPECT_TRUE(cdo_stub::released_after(record, ::GetCurrentProcessId()));
}

// ---- reference counting ---------------------------------------------------------------------

TEST_F(CdoStub, ObjectsLiveWhileReferencedAndTheLastReleaseIsRecorded) {
    cdo_stub::scoped_environment env(with_record());
    com_ptr<CDO::Fields> fields;
    {
        cdo_objects cdo;
        ASSERT_TRUE(cdo.ok());
        ASSERT_EQ(S_OK, cdo.message.get()->get_Fields(fields.put()));
        EXPECT_EQ(S_OK, cdo.message.get()->put_Configuration(cdo.configuration.get()));
    }
    // The collection outlives its message and still works.
    EXPECT_GT(live_objects(), 0);
    variant value;
    set_i4(value, 5);
    EXPECT_EQ(S_OK, write_field(fields.get(), L"urn:schemas:mailheader:x-test", value.v));
    EXPECT_TRUE(cdo_stub::select(cdo_stub::read_record(record_), L"live-objects").empty());
    EXPECT_FALSE(cdo_stub::released_after(cdo_stub::read_record(record_), ::GetCurrentProcessId(),
                                          L"Message::CreateInstance"));
    fields.reset();
    EXPECT_EQ(0, live_objects());
    EXPECT_EQ(1u, cdo_stub::select(cdo_stub::read_record(record_), L"live-objects").size());
    EXPECT_TRUE(cdo_stub::released_after(cdo_stub::read_record(record_), ::GetCurrentProcessId(),
                                         L"Message::CreateInstance"));
}

TEST_F(CdoStub, QueryInterfaceAnswersTheImplementedInterfacesOnly) {
    cdo_objects cdo;
    ASSERT_TRUE(cdo.ok());
    com_ptr<IDispatch> dispatch;
    EXPECT_EQ(S_OK, cdo.message.get()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())));
    com_ptr<CDO::IConfiguration> wrong;
    EXPECT_EQ(E_NOINTERFACE,
              cdo.message.get()->QueryInterface(CDO::IID_IConfiguration, reinterpret_cast<void**>(wrong.put())));
    EXPECT_FALSE(wrong);
    com_ptr<IUnknown> unknown;
    EXPECT_EQ(S_OK, cdo.configuration.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.put())));
}

// ---- the rest of the interfaces ---------------------------------------------------------------

TEST_F(CdoStub, OtherMethodsAreRecordedAsNotImplemented) {
    cdo_stub::scoped_environment env(with_record());
    cdo_objects cdo;
    ASSERT_TRUE(cdo.ok());
    BSTR text = nullptr;
    EXPECT_EQ(E_NOTIMPL, cdo.message.get()->get_To(&text));
    EXPECT_EQ(E_NOTIMPL, cdo.message.get()->putref_Configuration(cdo.configuration.get()));
    EXPECT_EQ(E_NOTIMPL, cdo.configuration.get()->Load(CDO::cdoDefaults, nullptr));
    com_ptr<CDO::Fields> fields;
    ASSERT_EQ(S_OK, cdo.configuration.get()->get_Fields(fields.put()));
    long count = 0;
    EXPECT_EQ(E_NOTIMPL, fields.get()->get_Count(&count));
    std::vector<call_line> all = lines();
    ASSERT_EQ(7u, all.size());
    EXPECT_EQ((call_line{L"message", L"IMessage::get_To", E_NOTIMPL, {}}), all[2]);
    EXPECT_EQ((call_line{L"message", L"IMessage::putref_Configuration", E_NOTIMPL, {}}), all[3]);
    EXPECT_EQ((call_line{L"configuration", L"IConfiguration::Load", E_NOTIMPL, {}}), all[4]);
    EXPECT_EQ((call_line{L"configuration", L"Fields::get_Count", E_NOTIMPL, {}}), all[6]);
}

TEST_F(CdoStub, FieldsAreMadeOnDemandAndKeepTheirValues) {
    cdo_objects cdo;
    ASSERT_TRUE(cdo.ok());
    com_ptr<CDO::Fields> fields;
    ASSERT_EQ(S_OK, cdo.configuration.get()->get_Fields(fields.put()));
    variant value, upper, read, number, beyond;
    set_text(value, L"mail.example.org");
    EXPECT_EQ(S_OK, write_field(fields.get(), cdoSMTPServer, value.v));
    // The same field whatever the case of its name, and by its position.
    std::wstring name = cdoSMTPServer;
    for (wchar_t& c : name) c = static_cast<wchar_t>(::towupper(c));
    set_text(upper, name);
    com_ptr<CDO::Field> field;
    ASSERT_EQ(S_OK, fields.get()->get_Item(upper.v, field.put()));
    ASSERT_EQ(S_OK, field.get()->get_Value(&read.v));
    ASSERT_EQ(VT_BSTR, V_VT(&read.v));
    EXPECT_STREQ(L"mail.example.org", V_BSTR(&read.v));
    cl::unique_bstr field_name;
    ASSERT_EQ(S_OK, field.get()->get_Name(field_name.put()));
    EXPECT_STREQ(cdoSMTPServer, field_name.get());
    set_i4(number, 0);
    com_ptr<CDO::Field> first;
    ASSERT_EQ(S_OK, fields.get()->get_Item(number.v, first.put()));
    EXPECT_EQ(field.get(), first.get());
    set_i4(beyond, 1);
    com_ptr<CDO::Field> missing;
    EXPECT_EQ(static_cast<HRESULT>(0x800A0CC1), fields.get()->get_Item(beyond.v, missing.put()));
    EXPECT_FALSE(missing);
}

TEST_F(CdoStub, TheStreamTakesBytesOnlyWhenBinary) {
    cdo_stub::scoped_environment env(with_record());
    cdo_objects cdo;
    ASSERT_TRUE(cdo.ok());
    com_ptr<CDO::IBodyParts> attachments;
    com_ptr<CDO::IBodyPart> first, second;
    com_ptr<CDO::_Stream> stream;
    ASSERT_EQ(S_OK, cdo.message.get()->get_Attachments(attachments.put()));
    ASSERT_EQ(S_OK, attachments.get()->Add(-1, first.put()));
    EXPECT_EQ(E_INVALIDARG, attachments.get()->Add(3, second.put()));
    ASSERT_EQ(S_OK, attachments.get()->Add(1, second.put()));
    ASSERT_EQ(S_OK, second.get()->GetDecodedContentStream(stream.put()));

    // A megabyte, as the largest attachment the mail job sends.
    std::vector<unsigned char> content(1048576);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 31 + (i >> 12));
    variant bytes, text;
    set_bytes(bytes, content);
    set_text(text, L"not bytes");
    EXPECT_EQ(static_cast<HRESULT>(0x800A0C93), stream.get()->Write(bytes.v));
    EXPECT_EQ(E_INVALIDARG, stream.get()->put_Type(static_cast<CDO::StreamTypeEnum>(3)));
    EXPECT_EQ(S_OK, stream.get()->put_Type(CDO::adTypeBinary));
    EXPECT_EQ(E_INVALIDARG, stream.get()->Write(text.v));
    EXPECT_EQ(S_OK, stream.get()->Write(bytes.v));
    EXPECT_EQ(S_OK, stream.get()->Flush());

    std::vector<cdo_stub::entry> all = entries();
    std::vector<cdo_stub::entry> adds = cdo_stub::select(all, L"IBodyParts::Add");
    ASSERT_EQ(3u, adds.size());
    EXPECT_EQ(L"message.attachment2", adds[2].arg(1));
    std::vector<cdo_stub::entry> writes = cdo_stub::select(all, L"_Stream::Write", L"message.attachment2.stream");
    ASSERT_EQ(3u, writes.size());
    EXPECT_EQ((std::vector<std::wstring>{L"8", L"not bytes"}), writes[1].args);
    EXPECT_EQ(L"1048576", writes[2].arg(1));
    EXPECT_TRUE(cdo_stub::hex_bytes(writes[2].arg(2)) == content);
    std::vector<cdo_stub::entry> flushes = cdo_stub::select(all, L"_Stream::Flush");
    ASSERT_EQ(1u, flushes.size());
    EXPECT_EQ(L"1048576", flushes[0].arg(0));
}

TEST_F(CdoStub, PutConfigurationTellsWhichConfigurationItGot) {
    cdo_stub::scoped_environment env(with_record());
    cdo_objects cdo, other;
    ASSERT_TRUE(cdo.ok());
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(S_OK, cdo.message.get()->put_Configuration(other.configuration.get()));
    EXPECT_EQ(S_OK, cdo.message.get()->put_Configuration(nullptr));
    std::vector<cdo_stub::entry> all = entries();
    std::vector<cdo_stub::entry> puts = cdo_stub::select(all, L"IMessage::put_Configuration");
    std::vector<cdo_stub::entry> made = cdo_stub::select(all, L"Configuration::CreateInstance");
    ASSERT_EQ(2u, puts.size());
    ASSERT_EQ(2u, made.size());
    EXPECT_EQ((std::vector<std::wstring>{L"stub", std::to_wstring(made[1].serial)}), puts[0].args);
    EXPECT_EQ((std::vector<std::wstring>{L"null", L"0"}), puts[1].args);
}

// ---- the record reader ----------------------------------------------------------------------

TEST_F(CdoStub, TheReaderSkipsMalformedLinesAndUndoesEscapes) {
    EXPECT_TRUE(cdo_stub::read_record(folder_ + L"missing.txt").empty());
    const std::string text =
        "12\t3\tmessage\tIMessage::put_To\t0x00000000\ta\\tb\\\\c\\nd\\x01\\uD800\xC3\xBC\r\n"
        "12\t3\tmessage\tIMessage::Send\n"                                  // too few fields
        "x\t3\tmessage\tIMessage::Send\t0x00000000\n"                       // bad pid
        "12\t3\tmessage\tIMessage::Send\t0x8004021\n"                       // short result
        "12\t3\tmessage\tIMessage::Send\t0x80040211\t\t\\q\\x4\xFF\n"       // empty arg, bad escapes
        "12\t0\tstub\tlive-objects\t0x00000000\t0";                         // no "\n" yet
    const std::wstring path = folder_ + L"record.txt";
    {
        cl::unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    }
    std::vector<cdo_stub::entry> all = cdo_stub::read_record(path);
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(12u, all[0].pid);
    EXPECT_EQ(3u, all[0].serial);
    EXPECT_EQ(L"IMessage::put_To", all[0].call);
    EXPECT_EQ(S_OK, all[0].result);
    EXPECT_EQ((std::vector<std::wstring>{std::wstring(L"a\tb\\c\nd\x01\xD800\x00FC")}), all[0].args);
    EXPECT_EQ(static_cast<HRESULT>(0x80040211), all[1].result);
    EXPECT_EQ((std::vector<std::wstring>{L"", L"\\q\\x4\xFFFD"}), all[1].args);
    EXPECT_EQ(L"", all[1].arg(5));

    // Process 12 sent, and its "live-objects" line (the unterminated one) is not read yet.
    EXPECT_FALSE(cdo_stub::released_after(all, 12));

    EXPECT_TRUE(cdo_stub::hex_bytes(L"0g").empty());
    EXPECT_TRUE(cdo_stub::hex_bytes(L"abc").empty());
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0xff, 0x7a}), cdo_stub::hex_bytes(L"00FF7a"));
}

}  // namespace
