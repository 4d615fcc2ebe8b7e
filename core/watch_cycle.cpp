#include "core/watch_cycle.h"

#include "cl/format/format.h"
#include "cl/timer/timer_handle.h"
#include "cl/timer/timers.h"
#include "cl/trace/trace.h"
#include "core/launch.h"
#include "core/mail_step.h"
#include "core/process_probe.h"
#include "core/text_util.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tolvarn {

namespace {

cl::timer_handle initial_delay_timer;

// The watch timers exist between start_watch_timers and stop_watching. Creating and filling them
// (on the timer thread, when the initial delay expires) and releasing them (on the message-loop
// thread) exclude each other through this lock, and `stopped` keeps a late start from arming
// timers that nobody would stop.
std::mutex watch_timers_lock;
std::unique_ptr<cl::timer_handle[]> watch_timers;
std::size_t watch_timer_count = 0;
bool stopped = false;

void log(const std::wstring& text) { cl::trace_write(&cl::g_trace_out, text); }

// For the last-resort handlers: logging itself may fail when memory is exhausted.
void log_failure(const wchar_t* format, const std::wstring& name) noexcept {
    try {
        log((cl::wformat(format) % name).str());
    } catch (...) {
    }
}

}  // namespace

void start_watching() {
    const std::uint32_t delay = app_config.initial_delay;
    if (delay != 0) {
        log((cl::wformat(L"Setting initial delay of %? seconds.\n") % delay).str());
        cl::slow_timer().set_timer(initial_delay_timer, &start_watch_timers,
                                   static_cast<std::uint32_t>(delay * 1000u), cl::timer_once, false);
        return;
    }
    start_watch_timers();
}

void start_watch_timers() {
    try {
        std::lock_guard<std::mutex> guard(watch_timers_lock);
        if (stopped || watch_timers) return;
        const std::vector<watch_entry>& table = app_config.watches;
        const std::size_t n = table.size();
        if (n == 0) return;
        watch_timers.reset(new cl::timer_handle[n]);
        watch_timer_count = n;
        for (std::size_t i = 0; i < n; ++i) {
            const watch_entry& entry = table[i];
            log((cl::wformat(L"Setting %? second timer for %?.\n") % entry.interval % entry.name).str());
            // Intervals are counted in unsigned 32-bit milliseconds, as the configuration promises.
            cl::slow_timer().set_timer(watch_timers[i], [entry] { check_program(entry); },
                                       static_cast<std::uint32_t>(entry.interval * 1000u), 0, false);
        }
    } catch (...) {
        // Runs on the timer thread when the initial delay expires: nothing may escape it.
        log_failure(L"Cannot set the watch timers%?.\n", std::wstring());
    }
}

void stop_watching() {
    // Not under the lock: a start_watch_timers that is running now holds the lock, and its one-shot
    // handle is already empty, so this returns at once and never waits for it.
    cl::slow_timer().cancel(initial_delay_timer, true);

    std::lock_guard<std::mutex> guard(watch_timers_lock);
    stopped = true;
    if (!watch_timers) return;
    for (std::size_t i = 0; i < watch_timer_count; ++i) cl::slow_timer().cancel(watch_timers[i], true);
    watch_timers.reset();
    watch_timer_count = 0;
}

void check_program(const watch_entry& entry) {
    try {
        std::vector<std::wstring> processes;
        if (!get_process_list(processes)) {
            log(L"Cannot get process information.\n");
            return;
        }
        for (const std::wstring& process : processes) {
            if (equals_nocase(process, entry.name)) return;
        }
        log((cl::wformat(L"Program %? is no longer running.\n") % entry.name).str());
        for (const std::wstring& command : entry.calls) {
            log((cl::wformat(L"Calling %?.\n") % command).str());
            call_program(command);
        }
        if (!entry.mail_from.empty() && !entry.mail_to.empty()) send_notification(entry);
    } catch (...) {
        // A check runs on the timer thread; an exception there (memory exhausted, say) must not
        // end the watchdog. The next expiry tries again.
        log_failure(L"Check of %? failed unexpectedly.\n", entry.name);
    }
}

}  // namespace tolvarn
