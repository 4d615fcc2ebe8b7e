#include "mail/smtp_config.h"

namespace tolvarn {

namespace {

HRESULT set_number_field(CDO::Fields* fields, const wchar_t* name, LONG value) {
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = value;
    return set_field(fields, name, variant);
}

constexpr LONG send_using_port = 2;          // through an SMTP server on the network
constexpr LONG connection_timeout_seconds = 10;
constexpr LONG basic_authentication = 1;

}  // namespace

HRESULT set_date_field(mail_message& mail) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_DATE;
    if (!::SystemTimeToVariantTime(&now, &variant.date)) return E_FAIL;
    return set_field(mail.message_fields.get(), L"urn:schemas:httpmail:date", variant);
}

HRESULT configure_and_send(mail_message& mail, const std::wstring& server, const std::wstring& username,
                           const std::wstring& password, const smtp_transport& transport) {
    CDO::Fields* fields = mail.config_fields.get();
    // Each write's result shows only through the send's result.
    set_number_field(fields, cdoSendUsingMethod, send_using_port);
    set_number_field(fields, cdoSMTPServerPort, static_cast<LONG>(transport.port));
    if (transport.use_ssl) {
        // Written only when on: the component's default is off, and so a configuration without TLS
        // makes exactly the calls it always made.
        VARIANT on;
        ::VariantInit(&on);
        on.vt = VT_BOOL;
        on.boolVal = VARIANT_TRUE;
        set_field(fields, cdoSMTPUseSSL, on);
    }
    set_number_field(fields, cdoSMTPConnectionTimeout, connection_timeout_seconds);
    set_number_field(fields, cdoSMTPAuthenticate, basic_authentication);
    set_string_field(fields, cdoSMTPServer, server);
    set_string_field(fields, cdoSendUserName, username);
    set_string_field(fields, cdoSendPassword, password);
    set_date_field(mail);
    mail.message->put_Configuration(mail.configuration.get());
    return mail.message->Send();
}

}  // namespace tolvarn
