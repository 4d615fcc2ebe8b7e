// cl::timer_handle: the owner's side of one timer armed on a cl::base_timer.
//
// The handle's address identifies its timer inside the service, so it can be neither copied nor
// moved and must stay where it is while armed. Destroying it stops the timer, waiting for a callback
// that runs on the service's thread. A one-shot timer counts as no longer armed as soon as its
// callback starts: to wait for that callback, call cancel(handle, true) on the service itself.
// armed() and cancel() may be called from any thread.
#pragma once

#include <atomic>

namespace cl {

class base_timer;

class timer_handle {
public:
    timer_handle() noexcept = default;
    // Stops the timer (cancel with wait).
    ~timer_handle();
    timer_handle(const timer_handle&) = delete;
    timer_handle& operator=(const timer_handle&) = delete;

    // Stops the timer on its service (see base_timer::cancel); false when it was not armed.
    bool cancel(bool wait = true);
    // True while the timer is armed.
    bool armed() const noexcept { return timer_.load() != nullptr; }
    // The service the timer is armed on, null when not armed.
    base_timer* timer() const noexcept { return timer_.load(); }

private:
    friend class base_timer;
    std::atomic<base_timer*> timer_{nullptr};
};

}  // namespace cl
