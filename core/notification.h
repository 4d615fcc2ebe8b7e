// The e-mail side of a check: the notification of a missing program, its reminders, and the notice
// that it runs again. The check calls notify_after_check once it knows the outcome; the e-mails
// go to the worker (core/mail_queue.h), so the check never waits for them.
#pragma once

#include "core/app_config.h"

#include <cstdint>

namespace tolvarn {

// What one watched program's checks remember between them; owned by its watch, used only by its
// checks (one at a time).
struct notify_state {
    std::uint32_t missing_checks = 0;  // consecutive checks that found it missing, counted modulo mail_repeat
    bool reported_missing = false;     // "is no longer running" logged and not yet answered by a recovery
};

// After a check of `entry` that found it running or not (and, when not, logged that and started
// its calls): queues the e-mail of a missing program on the first of every `mail_repeat`
// consecutive missing checks; when it runs again after being reported missing and `mail_recovered`
// is set, logs "Program NAME is running again." and queues the notice. E-mails go only to an entry
// with a sender and a recipient line. Throws only when memory is exhausted.
void notify_after_check(const watch_entry& entry, notify_state& state, bool running);

}  // namespace tolvarn
