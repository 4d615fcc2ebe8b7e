#include "message.h"

#include "module_state.h"
#include "record_text.h"

#include <cstdio>

namespace stub {
namespace {

std::wstring decimal(unsigned long long value) {
    wchar_t buf[32];
    std::swprintf(buf, sizeof buf / sizeof buf[0], L"%llu", value);
    return buf;
}

}  // namespace

message::message()
    : com_object(next_message_serial(), L"message", L"IMessage"),
      fields_(new fields(serial(), object())),
      body_(nullptr),
      attachments_(nullptr) {
    try {
        body_ = new body_part(serial(), object() + L".body");
        attachments_ = new body_parts(serial(), object() + L".attachments", object() + L".attachment");
    } catch (...) {
        if (body_) body_->Release();
        fields_->Release();
        throw;
    }
}

message::~message() {
    if (configuration_) configuration_->Release();
    attachments_->Release();
    body_->Release();
    fields_->Release();
}

bool message::answers(REFIID riid) const noexcept { return riid == CDO::IID_IMessage; }

HRESULT message::put_header(const wchar_t* method, BSTR value) noexcept {
    call_record rec = call(method);
    std::vector<std::wstring> args;
    try {
        args.push_back(bstr_text(value));
    } catch (...) {
    }
    return rec.finish(rec.outcome(S_OK), args);
}

HRESULT STDMETHODCALLTYPE message::get_Attachments(CDO::IBodyParts** varAttachments) {
    call_record rec = call(L"get_Attachments");
    if (!varAttachments) return rec.finish(rec.outcome(E_POINTER));
    *varAttachments = nullptr;
    if (rec.fault()) return rec.finish(rec.fault());
    return rec.finish(hand_out(attachments_, varAttachments));
}

HRESULT STDMETHODCALLTYPE message::get_BodyPart(CDO::IBodyPart** varBodyPart) {
    call_record rec = call(L"get_BodyPart");
    if (!varBodyPart) return rec.finish(rec.outcome(E_POINTER));
    *varBodyPart = nullptr;
    if (rec.fault()) return rec.finish(rec.fault());
    return rec.finish(hand_out(body_, varBodyPart));
}

HRESULT STDMETHODCALLTYPE message::get_Fields(CDO::Fields** varFields) {
    call_record rec = call(L"get_Fields");
    if (!varFields) return rec.finish(rec.outcome(E_POINTER));
    *varFields = nullptr;
    if (rec.fault()) return rec.finish(rec.fault());
    return rec.finish(hand_out(fields_, varFields));
}

std::vector<std::wstring> message::describe_configuration(CDO::IConfiguration* config) {
    if (!config) return {L"null", L"0"};
    void* identity = nullptr;
    if (SUCCEEDED(config->QueryInterface(iid_stub_object, &identity)) && identity) {
        stub_object* object = static_cast<stub_object*>(identity);
        std::vector<std::wstring> fields;
        if (object->object() == L"configuration")
            fields = {L"stub", decimal(object->serial())};
        else
            fields = {L"foreign", L"0"};
        object->release_object();
        return fields;
    }
    return {L"foreign", L"0"};
}

HRESULT STDMETHODCALLTYPE message::put_Configuration(CDO::IConfiguration* varConfiguration) {
    call_record rec = call(L"put_Configuration");
    std::vector<std::wstring> args;
    try {
        args = describe_configuration(varConfiguration);
    } catch (...) {
    }
    if (rec.fault()) return rec.finish(rec.fault(), args);
    if (varConfiguration) varConfiguration->AddRef();
    ::AcquireSRWLockExclusive(&lock_);
    CDO::IConfiguration* old = configuration_;
    configuration_ = varConfiguration;
    ::ReleaseSRWLockExclusive(&lock_);
    if (old) old->Release();
    return rec.finish(S_OK, args);
}

HRESULT STDMETHODCALLTYPE message::Send() {
    call_record rec = call(L"Send");
    unsigned long delay = rec.settings().send_delay_ms();
    HRESULT result = rec.outcome(S_OK);
    ::AcquireSRWLockShared(&lock_);
    CDO::IConfiguration* config = configuration_;
    if (config) config->AddRef();
    ::ReleaseSRWLockShared(&lock_);
    std::vector<std::wstring> args;
    try {
        args = describe_configuration(config);
        args.push_back(decimal(static_cast<unsigned long long>(live_objects())));
        args.push_back(decimal(delay));
    } catch (...) {
    }
    if (config) config->Release();
    rec.finish(result, args);
    if (delay != 0) {
        ::Sleep(delay);
        call(L"Send.done").finish(result);
    }
    return result;
}

}  // namespace stub
