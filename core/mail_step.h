// The e-mail step of a check: brackets one send_mail call with the log flush and COM set-up.
#pragma once

#include "core/app_config.h"
#include "mail/send_mail.h"

namespace tolvarn {

// Writes "Sending e-mail.", flushes the log to disk, initialises COM on the calling (timer)
// thread, sends the entry's notification with the global SMTP settings and uninitialises COM, also
// when the send throws (the exception goes on to the caller).
// The caller has checked that the entry has a sender and at least one recipient line.
void send_notification(const watch_entry& entry);

// The mail job send_notification calls: send_mail unless a test replaces it.
extern decltype(&send_mail) mail_sender;

}  // namespace tolvarn
