#include "core/notification.h"

#include "cl/format/format.h"
#include "core/log.h"
#include "core/mail_queue.h"

namespace tolvarn {

void notify_after_check(const watch_entry& entry, notify_state& state, bool running) {
    const bool mails = !entry.mail_from.empty() && !entry.mail_to.empty();
    if (!running) {
        state.reported_missing = true;
        const std::uint32_t repeat = entry.mail_repeat != 0 ? entry.mail_repeat : 1;
        const bool due = state.missing_checks == 0;
        state.missing_checks = (state.missing_checks + 1) % repeat;
        if (due && mails) mail_worker().post(make_mail_job(entry));
        return;
    }
    state.missing_checks = 0;
    if (!state.reported_missing) return;
    state.reported_missing = false;
    if (!entry.mail_recovered) return;
    const std::wstring line = (cl::wformat(L"Program %? is running again.\n") % entry.name).str();
    log(line);
    if (!mails) return;
    mail_job job = make_mail_job(entry);
    job.subject = entry.name + L" is running again";
    job.body = line.substr(0, line.size() - 1);
    job.attachments.clear();
    mail_worker().post(std::move(job));
}

}  // namespace tolvarn
