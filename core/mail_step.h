// The e-mail step of a check: one notification, composed on the check's thread and sent on the
// e-mail worker (core/mail_queue.h) between the log flush and COM set-up.
#pragma once

#include "core/app_config.h"
#include "mail/send_mail.h"

#include <string>
#include <vector>

namespace tolvarn {

// Everything one send_mail call needs, copied at the check, so that the worker reads nothing shared.
struct mail_job {
    std::wstring program;  // the watched program the e-mail is about (named when it is dropped)
    std::wstring smtp_server, smtp_username, smtp_password;
    smtp_transport transport;
    std::wstring from;
    std::vector<std::wstring> to, cc;
    std::wstring subject, body;
    std::vector<std::wstring> attachments;
};

// The entry's notification with the global SMTP settings of app_config.
mail_job make_mail_job(const watch_entry& entry);

// Writes "Sending e-mail.", flushes the log to disk, initialises COM on the calling thread, sends
// the job and uninitialises COM, also when the send throws (the exception goes on to the caller).
// The caller has checked that the job has a sender and at least one recipient line.
void send_notification(const mail_job& job);

// The mail job send_notification calls: send_mail unless a test replaces it.
extern decltype(&send_mail) mail_sender;

}  // namespace tolvarn
