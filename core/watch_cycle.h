// The watch cycle: one repeating timer per watched program on the "slow" timer service.
//
// start_watching and stop_watching run on the thread that owns the message loop (the main thread
// in application mode, the service worker thread in service mode); check_program and
// start_watch_timers run on the slow timer thread, one callback at a time.
#pragma once

#include "core/app_config.h"

namespace tolvarn {

// Applies the initial delay (a one-shot timer), or arms the watch timers at once. Called once per run.
void start_watching();
// Arms one periodic timer per watch entry, each bound to its own copy of the entry. Does nothing
// once stop_watching has run, so a delay that expires while the program closes arms nothing.
void start_watch_timers();
// Stops every timer of the cycle, waiting for a check that is under way. The cycle is not started
// again in the same process.
void stop_watching();
// One check: a fresh process snapshot; if `entry` is missing, log it, start its command lines and
// send its e-mail. Never throws.
void check_program(const watch_entry& entry);

}  // namespace tolvarn
