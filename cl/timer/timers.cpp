#include "cl/timer/timers.h"

#include <cstdlib>

namespace cl {

namespace {

void sync_slow_at_exit() { slow_timer().sync(passive_timer::stop_timeout_ms); }
void sync_fast_at_exit() { fast_timer().sync(passive_timer::stop_timeout_ms); }

}  // namespace

// Function-local statics: built on the first call, whichever translation unit's static
// initialisation makes it. The exit handler is registered after the service's destructor, so it
// runs first and lets the thread finish one pass while everything it may use still exists.
passive_timer& slow_timer() {
    static passive_timer timer("slow", slow_timer_stack_reserve);
    static const int exit_handler = std::atexit(&sync_slow_at_exit);
    (void)exit_handler;
    return timer;
}

passive_timer& fast_timer() {
    static passive_timer timer("fast");
    static const int exit_handler = std::atexit(&sync_fast_at_exit);
    (void)exit_handler;
    return timer;
}

namespace {

// "slow" exists from static initialisation on whenever this library is linked in; "fast" waits
// for its first user.
const bool services_created = (slow_timer(), true);

}  // namespace

}  // namespace cl
