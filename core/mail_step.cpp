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

mail_job make_mail_job(const watch_entry& entry) {
    mail_job job;
    job.program = entry.name;
    job.smtp_server = app_config.smtp_server;
    job.smtp_username = app_config.smtp_username;
    job.smtp_password = app_config.smtp_password;
    job.transport.port = app_config.smtp_port;
    job.transport.use_ssl = app_config.smtp_ssl;
    job.from = entry.mail_from;
    job.to = entry.mail_to;
    job.cc = entry.mail_cc;
    job.subject = entry.mail_subject;
    job.body = entry.mail_body;
    job.attachments = entry.mail_attachments;
    return job;
}

void send_notification(const mail_job& job) {
    log(L"Sending e-mail.\n");
    // Everything logged so far reaches the disk before the mail job, which may take long.
    cl::trace_flush(&cl::g_trace_out);

    com_scope com;
    mail_sender(job.smtp_server, job.smtp_username, job.smtp_password, job.from, job.to, job.cc, job.subject, job.body,
                job.attachments, job.transport);
}

}  // namespace tolvarn
