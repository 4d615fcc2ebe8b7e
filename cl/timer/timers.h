// The process's two timer services. Each is built on first use (so that other global objects may
// use it during static initialisation) and, at the latest, during the static initialisation of this
// library's timers.cpp. At exit, an exit handler waits up to 5 s for one complete pass of each
// before it is destroyed. A global object that uses a service in its destructor must call the
// accessor in its constructor, so that the service is destroyed after it.
#pragma once

#include "cl/timer/passive_timer.h"

namespace cl {

// The "slow" service: the watch checks and the log file's delayed flush.
passive_timer& slow_timer();
// The "fast" service: idle in this system.
passive_timer& fast_timer();

}  // namespace cl
