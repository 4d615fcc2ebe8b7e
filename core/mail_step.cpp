#include "core/mail_step.h"

#include "cl/trace/trace.h"
#include "mail/send_mail.h"

#include <objbase.h>

namespace tolvarn {

void send_notification(const watch_entry& entry) {
    cl::trace_write(&cl::g_trace_out, L"Sending e-mail.\n");
    // Everything logged so far reaches the disk before the mail job, which may take long.
    cl::trace_flush(&cl::g_trace_out);

    // Balanced only when it succeeded: a failed CoInitialize (a thread already in another
    // apartment) must not be paired with a CoUninitialize that would tear that apartment down.
    const HRESULT com = ::CoInitialize(nullptr);
    send_mail(app_config.smtp_server, app_config.smtp_username, app_config.smtp_password, entry.mail_from,
              entry.mail_to, entry.mail_cc, entry.mail_subject, entry.mail_body, entry.mail_attachments);
    if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace tolvarn
