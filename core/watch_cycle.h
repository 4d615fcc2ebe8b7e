// The watch cycle: one timer per watched program on the "slow" timer service.
//
// start_watching and stop_watching run on the thread that owns the message loop (the main thread
// in application mode, the service worker thread in service mode); check_program and
// start_watch_timers run on the timer service's thread, one callback at a time. The e-mails go to
// the e-mail worker (core/mail_queue.h); stop_watching waits for it within the service's stop bound.
#pragma once

#include "core/app_config.h"
#include "core/notification.h"

#include <windows.h>

#include <string>
#include <vector>

namespace cl {
class base_timer;
}

namespace tolvarn {

class restart_guard;

// Applies the initial delay (a one-shot timer), or arms the watch timers at once. Called once per
// run; a run after stop_watching starts afresh.
void start_watching();
// Arms one timer per watch entry, each with its own copy of the entry, due every `interval` seconds
// from now. Does nothing once stop_watching has run, so a delay that expires while the program
// closes arms nothing.
void start_watch_timers();
// Stops every timer of the cycle, waiting for a check that is under way; then refuses new e-mails
// and gives those already handed over up to service_stop_timeout_ms (mail_queue::stop).
void stop_watching();
// One check: a fresh process snapshot; if `entry` is missing, log it and start its command lines
// (with `guard`, the watch's own, its exit detection and back-off apply); then its notifications
// (notify_after_check) with the state its watch keeps. Never throws.
void check_program(const watch_entry& entry, notify_state& notify, restart_guard* guard = nullptr);
// check_program with a state of its own: every missing check is the first.
void check_program(const watch_entry& entry);

// What the watch cycle runs on. Tests replace parts while no watching runs.
struct watch_platform {
    cl::base_timer* timers = nullptr;     // the timer service; null: the "slow" one
    DWORD(WINAPI* ticks)() = nullptr;     // the clock of `timers`; null: GetTickCount
    bool (*list_processes)(std::vector<std::wstring>& list, std::vector<DWORD>* ids) = nullptr;  // null: get_process_list
};
extern watch_platform watch_platform_in_use;

}  // namespace tolvarn
