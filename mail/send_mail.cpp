#include "mail/send_mail.h"

#include "cl/format/format.h"
#include "cl/trace/trace.h"
#include "mail/attachments.h"
#include "mail/headers.h"
#include "mail/mail_message.h"
#include "mail/smtp_config.h"

namespace tolvarn {

namespace {

// One header step: fails (and logs `failure` with the value) when the message is not ready or
// set_header answers a negative result.
bool header_step(mail_message& mail, const wchar_t* name, const std::wstring& value, const wchar_t* failure) {
    bool ok = false;
    if (mail.ready) {
        cl::unique_bstr header = make_bstr(name);
        cl::unique_bstr text = make_bstr(value);
        ok = SUCCEEDED(set_header(mail, header.get(), text.get()));
    }
    if (!ok) cl::trace_write(&cl::g_trace_out, (cl::wformat(failure) % value).str());
    return ok;
}

bool address_steps(mail_message& mail, const wchar_t* name, const std::vector<std::wstring>& list,
                   const wchar_t* failure) {
    for (const std::wstring& entry : list) {
        if (entry.empty()) continue;
        if (!header_step(mail, name, entry, failure)) return false;
    }
    return true;
}

}  // namespace

void send_mail(const std::wstring& smtp_server, const std::wstring& smtp_username, const std::wstring& smtp_password,
               const std::wstring& from, const std::vector<std::wstring>& to, const std::vector<std::wstring>& cc,
               const std::wstring& subject, const std::wstring& body, const std::vector<std::wstring>& attachments,
               const smtp_transport& transport) {
    mail_message mail;

    if (!header_step(mail, L"from", from, L"E-mail error setting 'from' value to %?.\n")) return;
    if (!address_steps(mail, L"to", to, L"E-mail error setting 'to' value to %?.\n")) return;
    if (!address_steps(mail, L"cc", cc, L"E-mail error setting 'cc' value to %?.\n")) return;
    if (!subject.empty() && !header_step(mail, L"subject", subject, L"E-mail error setting 'subject' value to %?.\n"))
        return;

    cl::unique_bstr text = make_bstr(body);
    if (!mail.ready || FAILED(mail.message->put_TextBody(text.get()))) {
        cl::trace_write(&cl::g_trace_out, "E-mail error setting body value.\n");
        return;
    }

    for (const std::wstring& path : attachments) add_file_attachment(mail, path, path_file_name(path));

    const HRESULT result =
        mail.ready ? configure_and_send(mail, smtp_server, smtp_username, smtp_password, transport) : E_FAIL;
    if (FAILED(result)) {
        cl::trace_write(&cl::g_trace_out, (cl::format("Sending e-mail failed with result code 0x%x\n") %
                                           static_cast<unsigned long>(result))
                                              .str());
    }
}

}  // namespace tolvarn
