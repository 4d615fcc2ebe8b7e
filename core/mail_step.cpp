#include "core/mail_step.h"

#include "cl/trace/trace.h"
#include "core/log.h"

#include <objbase.h>

namespace tolvarn {

decltype(&send_mail) mail_sender = &send_mail;

namespace {

// COM for the length of one e-mail on the calling thread. Balanced only when the initialisation
// succeeded: a failed CoInitialize (a thread already in another apartment) must not be paired with
// a CoUninitialize that would tear that apartment down.
class com_scope {
public:
    com_scope() : result_(::CoInitialize(nullptr)) {}
    ~com_scope() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    com_scope(const com_scope&) = delete;
    com_scope& operator=(const com_scope&) = delete;

private:
    HRESULT result_;
};

}  // namespace

void send_notification(const watch_entry& entry) {
    log(L"Sending e-mail.\n");
    // Everything logged so far reaches the disk before the mail job, which may take long.
    cl::trace_flush(&cl::g_trace_out);

    com_scope com;
    mail_sender(app_config.smtp_server, app_config.smtp_username, app_config.smtp_password, entry.mail_from,
                entry.mail_to, entry.mail_cc, entry.mail_subject, entry.mail_body, entry.mail_attachments,
                smtp_transport());
}

}  // namespace tolvarn
