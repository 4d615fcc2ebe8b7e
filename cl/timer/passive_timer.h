// cl::passive_timer: a timer service with a thread of its own that sleeps until the next timer is
// due, until the event of an event-driven timer is signalled, or until it is woken, and then runs a
// pass (see cl::base_timer). The thread starts in the constructor; the destructor waits for one more
// pass (at most 5 s), stops the thread (terminating it after another 5 s) and drops every timer
// without running it. Every public function may be called from any thread.
#pragma once

#include <vector>

#include "cl/timer/base_timer.h"
#include "cl/timer/event.h"
#include "cl/timer/thread_obj.h"

namespace cl {

class passive_timer : public base_timer, public thread_obj {
public:
    // Time the destructor gives the last pass and then the thread.
    static constexpr DWORD stop_timeout_ms = 5000;

    // `name` only tells services apart in the caller's code; it is not stored. `stack_reserve`:
    // the thread's stack reservation (see cl::thread_obj), sized for the callbacks it will run.
    explicit passive_timer(const char* name, DWORD stack_reserve = default_stack_reserve);
    ~passive_timer() override;

    // Waits until the thread has begun and then ended a pass that began after the call, for at
    // most `timeout_ms` in all. True when it did; false on time-out, when the thread is not running
    // and when called from the service's own thread (which cannot wait for itself).
    bool sync(DWORD timeout_ms);

protected:
    // For tests: a service whose time comes from `ticks` instead of GetTickCount.
    passive_timer(const char* name, tick_source ticks);

    void on_pass_begin() override;
    void on_pass_end() override;
    void on_scan_done() override;
    void wake() override;
    void wait_for_scan() override;
    void run() override;
    void signal_stop() override;

private:
    void start_service();

    event wake_event_;
    std::vector<event*> scan_waiters_;
    std::vector<event*> begin_waiters_;
    std::vector<event*> next_end_waiters_;  // waiting for a pass to begin before they count its end
    std::vector<event*> end_waiters_;
    bool thread_running_ = false;  // run() is in its loop; guarded by the lock
};

}  // namespace cl
