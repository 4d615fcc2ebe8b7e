#include "mail/headers.h"

#include "mail/address_list.h"

#include <string>

namespace tolvarn {

namespace {

VARIANT bstr_variant(BSTR value) {
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = value;  // borrowed: the caller owns and frees it
    return variant;
}

std::wstring ascii_lower(BSTR text) {
    std::wstring lowered(text ? text : L"", text ? ::SysStringLen(text) : 0);
    for (wchar_t& c : lowered)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return lowered;
}

}  // namespace

HRESULT set_header(mail_message& mail, BSTR name, BSTR value) {
    const std::wstring header = ascii_lower(name);
    const VARIANT as_variant = bstr_variant(value);
    CDO::IMessage* message = mail.message.get();
    CDO::Fields* message_fields = mail.message_fields.get();
    CDO::Fields* config_fields = mail.config_fields.get();

    if (header == L"use-ssl") return set_field(config_fields, cdoSMTPUseSSL, as_variant);
    if (header == L"in-reply-to") return set_field(message_fields, L"urn:schemas:mailheader:in-reply-to", as_variant);
    if (header == L"followup-to") {
        const HRESULT result = set_field(message_fields, L"urn:schemas:mailheader:followup-to", as_variant);
        return result == S_OK ? message->put_FollowUpTo(value) : result;
    }
    if (header == L"thread-index") return set_field(message_fields, L"urn:schemas:mailheader:thread-index", as_variant);
    if (header == L"subject") return message->put_Subject(value);

    const std::wstring text(value ? value : L"", value ? ::SysStringLen(value) : 0);
    if (check_address_list(text) != 0) return E_INVALIDARG;

    if (header == L"from") {
        set_field(config_fields, cdoSendEmailAddress, as_variant);
        return message->put_From(value);
    }
    if (header == L"to") return message->put_To(value);
    if (header == L"cc") return message->put_CC(value);
    if (header == L"bcc") return message->put_BCC(value);
    if (header == L"reply-to") {
        const HRESULT result = set_field(config_fields, cdoSendUserReplyEmailAddress, as_variant);
        return result == S_OK ? message->put_ReplyTo(value) : result;
    }
    if (header == L"original-recipient")
        return set_field(message_fields, L"urn:schemas:mailheader:original-recipient", as_variant);
    return E_INVALIDARG;
}

}  // namespace tolvarn
