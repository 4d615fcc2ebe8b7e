#include "core/watch_cycle.h"

#include "cl/format/format.h"
#include "cl/timer/base_timer.h"
#include "cl/timer/timer_handle.h"
#include "cl/timer/timers.h"
#include "cl/trace/trace.h"
#include "core/launch.h"
#include "core/log.h"
#include "core/mail_queue.h"
#include "core/process_probe.h"
#include "core/restart_guard.h"
#include "core/service_host.h"
#include "core/text_util.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tolvarn {

watch_platform watch_platform_in_use;

namespace {

cl::base_timer& timers() {
    cl::base_timer* replaced = watch_platform_in_use.timers;
    return replaced != nullptr ? *replaced : cl::slow_timer();
}

std::uint32_t ticks() {
    const auto replaced = watch_platform_in_use.ticks;
    return replaced != nullptr ? replaced() : ::GetTickCount();
}

// One watched program: its timer, the copy of its entry that the checks use, and its schedule.
struct watch {
    watch();
    cl::timer_handle timer;
    watch_entry entry;
    notify_state notify;
    std::uint32_t period_ms = 0;
    std::uint32_t next_due = 0;  // tick count of the next deadline: arming + k * period_ms
    restart_guard guard;         // last, so its waits end before the rest goes
};

// The timers of the cycle. The watches exist between start_watch_timers and stop_watching.
// Creating and filling them (on the timer thread, when the initial delay expires) and releasing
// them (on the message-loop thread) exclude each other through `lock`, and `stopped` keeps a late
// start from arming timers that nobody would stop.
struct watch_set {
    watch_set() { cl::slow_timer(); }  // built first, so the service outlives the handles here
    cl::timer_handle initial_delay;
    std::mutex lock;
    std::unique_ptr<watch[]> items;
    std::size_t count = 0;
    bool stopped = false;
    // Lets the exit detection's wait callbacks make a watch due at once. A lock of its own: the
    // message-loop thread holds `lock` while it waits for a check, and a check may wait for a
    // callback (while it drops a wait).
    std::mutex trigger_lock;
    bool trigger_open = false;
};
watch_set watches;

// The period a repeating timer of the service gets for `interval` seconds: counted in unsigned
// 32-bit milliseconds (wrapping, as the configuration promises), 0 replaced and overlong ones cut
// as the service does.
std::uint32_t period_of(std::uint32_t interval) {
    std::int64_t ms = static_cast<std::uint32_t>(interval * 1000u);
    if (ms == 0) ms = cl::zero_period_substitute_ms;
    return static_cast<std::uint32_t>(std::min(ms, cl::max_period_ms));
}

void run_check(watch& w);

void arm(watch& w, std::uint32_t delay_ms, bool force = false) {
    timers().set_timer(w.timer, [&w] { run_check(w); }, delay_ms, cl::timer_once, force);
}

// On a pool thread, when the last process held for `w` has ended: the check runs at once, on the
// timer thread like every other one, unless the watching is stopping.
void check_now(watch& w) {
    std::lock_guard<std::mutex> guard(watches.trigger_lock);
    if (watches.trigger_open) arm(w, 0, true);
}

watch::watch() : guard([this] { check_now(*this); }) {}

// Each watch is a one-shot timer armed anew for the next deadline of its schedule. A check serves
// every deadline that has passed when it starts, so a watch that is due several times at once
// (the machine slept, or other checks ran long) checks once, and the schedule never drifts. A
// repeating timer of the service would instead catch up on the missed periods back to back.
void run_check(watch& w) {
    const std::uint32_t start = ticks();
    check_program(w.entry, w.notify, &w.guard);
    // A check brought forward (a process ended, a hold ran out) leaves the schedule as it is.
    const std::uint32_t late = start - w.next_due;
    if (static_cast<std::int32_t>(late) >= 0) w.next_due += late / w.period_ms * w.period_ms + w.period_ms;
    // A held-back start that may run before the next deadline gets a check of its own then.
    const std::uint32_t now = ticks();
    std::uint32_t due = w.next_due;
    std::uint32_t held_until = 0;
    if (w.guard.held_until(held_until) && static_cast<std::int32_t>(held_until - now) > 0 &&
        static_cast<std::int32_t>(held_until - due) < 0)
        due = held_until;
    const std::int32_t left = static_cast<std::int32_t>(due - now);
    try {
        arm(w, left > 0 ? static_cast<std::uint32_t>(left) : 0u);
    } catch (...) {
        log_noexcept(L"Cannot set the watch timers.\n");
    }
}

}  // namespace

void start_watching() {
    {
        std::lock_guard<std::mutex> guard(watches.lock);
        watches.stopped = false;
    }
    mail_worker().start();
    const std::uint32_t delay = app_config.initial_delay;
    if (delay != 0) {
        log((cl::wformat(L"Setting initial delay of %? seconds.\n") % delay).str());
        timers().set_timer(watches.initial_delay, &start_watch_timers, static_cast<std::uint32_t>(delay * 1000u),
                           cl::timer_once, false);
        return;
    }
    start_watch_timers();
}

void start_watch_timers() {
    try {
        std::lock_guard<std::mutex> guard(watches.lock);
        if (watches.stopped || watches.items) return;
        const std::vector<watch_entry>& table = app_config.watches;
        const std::size_t n = table.size();
        if (n == 0) return;
        watches.items.reset(new watch[n]);
        watches.count = n;
        for (std::size_t i = 0; i < n; ++i) {
            watch& w = watches.items[i];
            w.entry = table[i];
            w.period_ms = period_of(w.entry.interval);
            log((cl::wformat(L"Setting %? second timer for %?.\n") % w.entry.interval % w.entry.name).str());
            // Read before arming: the service counts the first period from a moment no earlier.
            w.next_due = ticks() + w.period_ms;
            arm(w, w.period_ms);
        }
        std::lock_guard<std::mutex> trigger(watches.trigger_lock);
        watches.trigger_open = true;
    } catch (...) {
        // Runs on the timer thread when the initial delay expires: nothing may escape it.
        log_noexcept(L"Cannot set the watch timers.\n");
    }
}

void stop_watching() {
    // Not under the lock: a start_watch_timers that is running now holds the lock, and its one-shot
    // handle is already empty, so this returns at once and never waits for it.
    timers().cancel(watches.initial_delay, true);
    {
        std::lock_guard<std::mutex> trigger(watches.trigger_lock);
        watches.trigger_open = false;
    }

    {
        std::lock_guard<std::mutex> guard(watches.lock);
        watches.stopped = true;
        if (watches.items) {
            // On the service itself: a one-shot handle is empty while its callback runs, and the stop
            // must still wait for that check (and win over its arming anew).
            for (std::size_t i = 0; i < watches.count; ++i) timers().cancel(watches.items[i].timer, true);
            watches.items.reset();
            watches.count = 0;
        }
    }
    // The e-mails already handed over still go out, within the bound a service stop has; in a
    // service the stop's own wait ends first and ends this thread while it waits here.
    mail_worker().stop(service_stop_timeout_ms);
}

void check_program(const watch_entry& entry) {
    notify_state notify;
    check_program(entry, notify);
}

void check_program(const watch_entry& entry, notify_state& notify, restart_guard* guard) {
    try {
        std::vector<std::wstring> processes;
        std::vector<DWORD> ids;
        const auto list = watch_platform_in_use.list_processes;
        if (!(list != nullptr ? list : &get_process_list)(processes, &ids)) {
            log(L"Cannot get process information.\n");
            return;
        }
        // One matching process is enough, unless the exit detection wants the ids of all.
        const bool all = guard != nullptr && entry.watch_exit != 0;
        bool found = false;
        std::vector<DWORD> running;
        for (std::size_t i = 0; i < processes.size() && (all || !found); ++i) {
            if (!equals_nocase(processes[i], entry.name)) continue;
            found = true;
            if (all && i < ids.size()) running.push_back(ids[i]);
        }
        if (found) {
            if (guard != nullptr) guard->running(entry, running);
        } else {
            log((cl::wformat(L"Program %? is no longer running.\n") % entry.name).str());
            // Exit detection and back-off: a held-back start runs no call line; the started
            // processes are waited on.
            std::vector<cl::unique_kernel_handle> started;
            if (guard == nullptr || guard->may_start(entry, ticks())) {
                for (const std::wstring& command : entry.calls) {
                    log((cl::wformat(L"Calling %?.\n") % command).str());
                    started.emplace_back();
                    call_program(command, all ? &started.back() : nullptr);
                }
            }
            if (guard != nullptr) guard->started(entry, started);
        }
        // The e-mails: the notification and its reminders, the notice of a recovery.
        notify_after_check(entry, notify, found);
    } catch (...) {
        // A check runs on the timer thread; an exception there (memory exhausted, say) must not
        // end the watchdog. The next expiry tries again.
        try {
            log((cl::wformat(L"Check of %? failed unexpectedly.\n") % entry.name).str());
        } catch (...) {
        }
    }
}

}  // namespace tolvarn
