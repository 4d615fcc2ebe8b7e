// The process's two timer services. "slow" is built on first use (so that other global objects may
// use it during static initialisation) and, at the latest, during the static initialisation of this
// library's timers.cpp; "fast" is built, and its thread started, only by the first call of its
// accessor, so a process that never uses it pays no thread for it. At exit, an exit handler waits
// up to 5 s for one complete pass of each service built before it is destroyed. A global object
// that uses a service in its destructor must call the accessor in its constructor, so that the
// service is destroyed after it.
#pragma once

#include "cl/timer/passive_timer.h"

namespace cl {

// Stack reservation of the "slow" thread. It runs the watch checks (a process snapshot, process
// starts, the log's flush: under 10 KiB of stack measured under Wine); e-mails are sent on a
// thread of their own, so the default reservation is ample.
constexpr DWORD slow_timer_stack_reserve = thread_obj::default_stack_reserve;

// The "slow" service: the watch checks and the log file's delayed flush.
passive_timer& slow_timer();
// The "fast" service: idle in this system; built with its thread on the first call.
passive_timer& fast_timer();

}  // namespace cl
