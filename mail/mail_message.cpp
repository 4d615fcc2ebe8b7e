#include "mail/mail_message.h"

#include "cl/format/format.h"
#include "cl/trace/trace.h"

namespace tolvarn {

namespace {

void log_creation_failure(const char* format, HRESULT result) {
    cl::trace_write(&cl::g_trace_out, (cl::format(format) % static_cast<unsigned long>(result)).str());
}

}  // namespace

cl::unique_bstr make_bstr(const std::wstring& text) {
    return cl::unique_bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

mail_message::mail_message() {
    HRESULT result = ::CoCreateInstance(CDO::CLSID_Message, nullptr, CLSCTX_INPROC_SERVER, CDO::IID_IMessage,
                                        reinterpret_cast<void**>(message.put()));
    if (!message) {
        log_creation_failure("Failed to create IMessage (%x)\n", result);
        return;
    }
    result = ::CoCreateInstance(CDO::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER, CDO::IID_IConfiguration,
                                reinterpret_cast<void**>(configuration.put()));
    if (!configuration) {
        log_creation_failure("Failed to create IConfiguration (%x)\n", result);
        return;
    }
    configuration->get_Fields(config_fields.put());
    message->get_Fields(message_fields.put());
    ready = message && configuration && config_fields && message_fields;

    cl::com_ptr<CDO::IBodyPart> body;
    if (message->get_BodyPart(body.put()) == S_OK && body) {
        cl::unique_bstr charset = make_bstr(L"utf-8");
        body->put_Charset(charset.get());
    }
}

HRESULT set_field(CDO::Fields* fields, const wchar_t* name, const VARIANT& value) {
    if (!fields) return E_POINTER;
    cl::unique_bstr index_name(::SysAllocString(name));
    VARIANT index;
    ::VariantInit(&index);
    index.vt = VT_BSTR;
    index.bstrVal = index_name.get();

    cl::com_ptr<CDO::Field> field;
    HRESULT result = fields->get_Item(index, field.put());
    if (result != S_OK) return result;
    if (!field) return E_POINTER;
    result = field->put_Value(value);
    fields->Update();
    return result;
}

HRESULT set_string_field(CDO::Fields* fields, const wchar_t* name, const std::wstring& value) {
    cl::unique_bstr text = make_bstr(value);
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text.get();
    return set_field(fields, name, variant);
}

}  // namespace tolvarn
