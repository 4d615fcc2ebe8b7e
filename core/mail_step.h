// The e-mail step of a check: brackets one send_mail call with the log flush and COM set-up.
#pragma once

#include "core/app_config.h"

namespace tolvarn {

// Writes "Sending e-mail.", flushes the log to disk, initialises COM on the calling (timer)
// thread, sends the entry's notification with the global SMTP settings and uninitialises COM.
// The caller has checked that the entry has a sender and at least one recipient line.
void send_notification(const watch_entry& entry);

}  // namespace tolvarn
