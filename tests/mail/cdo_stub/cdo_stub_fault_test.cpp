// The CDO stand-in's settings: injected faults, the configuration file beside the DLL, the send
// delay, and its registration.
#include "mail/cdo_stub/cdo_stub_test_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace cdo_stub_test;

// ---- fault injection ------------------------------------------------------------------------

struct fault_case {
    const wchar_t* fail;
    const char* what;
    // Runs the call under test on fresh objects and returns its result.
    std::function<HRESULT(cdo_objects&)> call;
    HRESULT expected;
    const wchar_t* recorded_call;
};

HRESULT write_config_field(cdo_objects& cdo) {
    com_ptr<CDO::Fields> fields;
    cdo.configuration.get()->get_Fields(fields.put());
    variant value;
    set_i4(value, 25);
    return write_field(fields.get(), cdoSMTPServerPort, value.v);
}

HRESULT write_attachment_bytes(cdo_objects& cdo) {
    com_ptr<CDO::IBodyParts> attachments;
    com_ptr<CDO::IBodyPart> part;
    com_ptr<CDO::_Stream> stream;
    cdo.message.get()->get_Attachments(attachments.put());
    attachments.get()->Add(-1, part.put());
    part.get()->GetDecodedContentStream(stream.put());
    stream.get()->put_Type(CDO::adTypeBinary);
    variant bytes;
    set_bytes(bytes, {1, 2, 3});
    return stream.get()->Write(bytes.v);
}

TEST_F(CdoStub, InjectedFaultsReplaceTheResultOfTheNamedCall) {
    const HRESULT send_failed = static_cast<HRESULT>(0x80040211);
    const fault_case cases[] = {
        {L"Send=0x80040211", "bare method", [](cdo_objects& c) { return c.message.get()->Send(); }, send_failed,
         L"IMessage::Send"},
        {L"IMessage::put_To=0x80070057", "whole name", [](cdo_objects& c) { return c.message.get()->put_To(nullptr); },
         E_INVALIDARG, L"IMessage::put_To"},
        {L"put_To=0x80004005;IMessage::put_To=0x80070057", "whole name wins",
         [](cdo_objects& c) { return c.message.get()->put_To(nullptr); }, E_INVALIDARG, L"IMessage::put_To"},
        {L"IConfiguration::put_To=0x80004005", "other interface", [](cdo_objects& c) { return c.message.get()->put_To(nullptr); },
         S_OK, L"IMessage::put_To"},
        {L"garbage Send=zz =1 Send=-2147220975", "bad entries skipped, decimal",
         [](cdo_objects& c) { return c.message.get()->Send(); }, send_failed, L"IMessage::Send"},
        {L"Send=0", "zero is no fault", [](cdo_objects& c) { return c.message.get()->Send(); }, S_OK, L"IMessage::Send"},
        {L"Field::put_Value=0x80004005", "field write", write_config_field, E_FAIL, L"Field::put_Value"},
        {L"Fields::get_Item=1", "positive result from get_Item", write_config_field, S_FALSE, L"Fields::get_Item"},
        {L"_Stream::Write=0x8007000E", "stream write", write_attachment_bytes, E_OUTOFMEMORY, L"_Stream::Write"},
        {L"GetTypeInfoCount=0x80004005", "IDispatch too",
         [](cdo_objects& c) {
             UINT n = 0;
             return c.message.get()->GetTypeInfoCount(&n);
         },
         E_FAIL, L"IMessage::GetTypeInfoCount"},
    };
    for (const fault_case& fc : cases) {
        SCOPED_TRACE(fc.what);
        ::DeleteFileW(record_.c_str());
        cdo_stub::scoped_environment env(with_record(fc.fail));
        {
            cdo_objects cdo;
            ASSERT_TRUE(cdo.ok());
            EXPECT_EQ(fc.expected, fc.call(cdo));
        }
        std::vector<cdo_stub::entry> calls = cdo_stub::select(entries(), fc.recorded_call);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(fc.expected, calls[0].result);
        EXPECT_EQ(0, live_objects());
    }
}

TEST_F(CdoStub, AFailedCallChangesNothingAndGivesNoPointer) {
    cdo_stub::scoped_environment env(with_record(L"Field::put_Value=0x80004005, IBodyParts::Add=0x80004005"));
    cdo_objects cdo;
    ASSERT_TRUE(cdo.ok());
    com_ptr<CDO::Fields> fields;
    ASSERT_EQ(S_OK, cdo.configuration.get()->get_Fields(fields.put()));
    variant value, index, read;
    set_i4(value, 25);
    set_text(index, cdoSMTPServerPort);
    com_ptr<CDO::Field> field;
    ASSERT_EQ(S_OK, fields.get()->get_Item(index.v, field.put()));
    EXPECT_EQ(E_FAIL, field.get()->put_Value(value.v));
    EXPECT_EQ(S_OK, field.get()->get_Value(&read.v));
    EXPECT_EQ(VT_EMPTY, V_VT(&read.v));

    com_ptr<CDO::IBodyParts> attachments;
    ASSERT_EQ(S_OK, cdo.message.get()->get_Attachments(attachments.put()));
    CDO::IBodyPart* part = reinterpret_cast<CDO::IBodyPart*>(&value);
    EXPECT_EQ(E_FAIL, attachments.get()->Add(-1, &part));
    EXPECT_EQ(nullptr, part);
}

TEST_F(CdoStub, CreationFaultsLeaveNoObject) {
    cdo_stub::scoped_environment env(with_record(L"Configuration::CreateInstance=0x80004005"));
    cdo_objects cdo;
    EXPECT_EQ(S_OK, cdo.message_result);
    EXPECT_EQ(E_FAIL, cdo.configuration_result);
    EXPECT_FALSE(cdo.configuration);
    std::vector<cdo_stub::entry> created = cdo_stub::select(entries(), L"Configuration::CreateInstance");
    ASSERT_EQ(1u, created.size());
    EXPECT_EQ(E_FAIL, created[0].result);
    EXPECT_EQ(0u, created[0].serial);
    cdo.message.reset();
    EXPECT_EQ(0, live_objects());
}

// ---- settings through the file beside the DLL -----------------------------------------------

TEST_F(CdoStub, TheConfigFileReachesTheStubAndTheEnvironmentWins) {
    cdo_stub::scoped_config file(with_record(L"Send=0x80040211", 0));
    ASSERT_TRUE(file.ok());
    {
        cdo_objects cdo;
        ASSERT_TRUE(cdo.ok());
        EXPECT_EQ(static_cast<HRESULT>(0x80040211), cdo.message.get()->Send());
        cdo_stub::scoped_env_var fail(cdo_stub::env_fail, L"Send=0x80040212");
        EXPECT_EQ(static_cast<HRESULT>(0x80040212), cdo.message.get()->Send());
    }
    std::vector<cdo_stub::entry> sends = cdo_stub::select(entries(), L"IMessage::Send");
    ASSERT_EQ(2u, sends.size());
    EXPECT_EQ(static_cast<HRESULT>(0x80040211), sends[0].result);
    EXPECT_EQ(static_cast<HRESULT>(0x80040212), sends[1].result);
}

TEST_F(CdoStub, ARelativeRecordPathInTheFileIsBesideTheDll) {
    const std::wstring name = L"cdo_stub_test_record_" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    const std::wstring path = cdo_stub::executable_directory() + name;
    cdo_stub::settings s;
    s.record_path = name;
    {
        cdo_stub::scoped_config file(s);
        ASSERT_TRUE(file.ok());
        cdo_objects cdo;
        ASSERT_TRUE(cdo.ok());
    }
    std::vector<cdo_stub::entry> record = cdo_stub::read_record(path);
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(1u, cdo_stub::select(record, L"Message::CreateInstance").size());
}

// ---- send delay -----------------------------------------------------------------------------

TEST_F(CdoStub, SendWaitsTheConfiguredDelay) {
    cdo_stub::scoped_environment env(with_record(std::wstring(), 300));
    cdo_objects cdo;
    ASSERT_TRUE(cdo.ok());
    ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(S_OK, cdo.message.get()->Send());
    // Only a lower bound, with room for the tick granularity.
    EXPECT_GE(::GetTickCount64() - start, 250u);
    std::vector<call_line> all = lines();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ((call_line{L"message", L"IMessage::Send", S_OK, {L"null", L"0", L"*", L"300"}}), all[all.size() - 2]);
    EXPECT_EQ((call_line{L"message", L"IMessage::Send.done", S_OK, {}}), all.back());
}

// ---- registration ---------------------------------------------------------------------------

TEST_F(CdoStub, WithoutRegistrationTheClassesAreMissing) {
    ASSERT_EQ(ERROR_SUCCESS, cdo_stub::unregister_server());
    EXPECT_EQ(ERROR_SUCCESS, cdo_stub::unregister_server());  // twice is fine
    {
        cdo_objects cdo;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, cdo.message_result);
        EXPECT_EQ(REGDB_E_CLASSNOTREG, cdo.configuration_result);
        EXPECT_FALSE(cdo.message);
    }
    ASSERT_EQ(ERROR_SUCCESS, cdo_stub::register_server());
    cdo_objects cdo;
    EXPECT_EQ(S_OK, cdo.message_result);
    EXPECT_EQ(S_OK, cdo.configuration_result);
}

}  // namespace
