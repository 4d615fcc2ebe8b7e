// cl::base_timer: the list of armed timers, the lock that guards it and the pass that runs the due
// callbacks. A derived class supplies the thread that calls process() (see cl::passive_timer).
//
// set_timer() and cancel() may be called from any thread, the service's own callbacks included.
// Callbacks run only inside process(), one at a time, in arming order, with the lock released; the
// service catches no exception that a callback throws. Time is GetTickCount in 32-bit arithmetic,
// so tick-count wrap-around is harmless.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <vector>

#include <boost/function.hpp>

#include "cl/timer/event.h"
#include "cl/timer/timer_handle.h"

namespace cl {

// Flags of base_timer::set_timer. Without timer_once or timer_restart the timer repeats and
// catches up on missed periods.
enum : unsigned {
    timer_once = 0x1,     // fire once
    timer_restart = 0x2,  // repeat, the next period counted from the firing; ignored with timer_once
    timer_event = 0x10,   // fire when an event is signalled; the interval is a cl::event_base pointer
};

// A repeating timer armed with a period of 0 (or less) would keep the thread busy: it gets this one.
constexpr int64_t zero_period_substitute_ms = 1000;
// Longest period and interval; longer ones are cut to it (the countdown is a signed 32-bit value).
constexpr int64_t max_period_ms = 0x7FFFFFFF;
// A late repeating timer catches up at most this many periods, unless its period is at least
// catch_up_unlimited_ms.
constexpr int64_t max_catch_up_periods = 3;
constexpr int64_t catch_up_unlimited_ms = 3600000;
// Event-driven timers one service accepts: one wait covers at most 64 handles, and the service's
// own wake-up event takes one of them.
constexpr size_t max_event_timers = MAXIMUM_WAIT_OBJECTS - 1;

class base_timer {
public:
    using callback = boost::function<void()>;
    using tick_source = DWORD(WINAPI*)();
    using pass_gate_fn = bool (*)(bool begin);

    // `signal_callbacks`: set callback_done after every callback, so that cancel() waits on an
    // event instead of polling. `ticks` replaces GetTickCount (tests); null means GetTickCount.
    explicit base_timer(bool signal_callbacks, tick_source ticks = nullptr);
    // Destroys every timer without running its callback and disarms the handles still armed.
    virtual ~base_timer();
    base_timer(const base_timer&) = delete;
    base_timer& operator=(const base_timer&) = delete;

    // Arms `handle` to run `cb` after `interval` ms (repeatedly unless timer_once); with
    // timer_event, `interval` holds a cl::event_base pointer (reinterpret_cast) that must outlive
    // the timer. An armed handle keeps its schedule and callback unless `force`; a one-shot whose
    // callback runs may be re-armed from inside it. Ignored when the service is not active, the
    // callback is empty, the event pointer is null, or max_event_timers are armed already. A handle
    // armed on another service is stopped there first (without waiting).
    void set_timer(timer_handle& handle, const callback& cb, int64_t interval, unsigned flags,
                   bool force = false);
    // Stops the handle's timer and disarms the handle; true when a timer was found. With `wait`, it
    // also waits until a callback of that timer running on another thread has returned (and, for an
    // event-driven timer, until the thread no longer waits on its event). Called from a callback of
    // this service it never waits. When the service is not active it answers false, but still
    // disarms the handle.
    bool cancel(timer_handle& handle, bool wait);
    // True while arming and stopping are accepted.
    bool active() const { return active_.load(); }

    // One pass: runs every due callback and fills `wait_handles` with the events of event-driven
    // timers. Answers the milliseconds until the next pass is needed (0xFFFFFFFF minus the pass's
    // own time when no time-based timer is armed). For the service's thread only.
    uint32_t process(std::vector<HANDLE>& wait_handles);

    // Tick count at the start of the last callback, and the number of callbacks run.
    uint32_t last_callback_tick() const { return last_callback_tick_.load(); }
    uint32_t callback_count() const { return callback_count_.load(); }
    // Replaces the gate asked before (true) and after (false) each pass; a gate that answers false
    // before a pass postpones it by 1 ms. Null restores the default, which always answers true.
    void set_pass_gate(pass_gate_fn gate);

protected:
    // Called at the end of a pass with the milliseconds until the next due timer.
    virtual void on_next_due(uint32_t wait_ms);
    // Called with the lock held at the start of each repetition of the pass, after the scan of the
    // timer list, and at the end of the pass.
    virtual void on_pass_begin();
    virtual void on_pass_end();
    virtual void on_scan_done();
    // Makes the service's thread run a pass soon. Called with the lock held.
    virtual void wake() = 0;
    // Called with the lock held; returns, lock held again, once the thread has scanned the timer
    // list afresh (it may release the lock meanwhile).
    virtual void wait_for_scan() = 0;

    void enter_lock() { ::EnterCriticalSection(&lock_); }
    void leave_lock() { ::LeaveCriticalSection(&lock_); }
    void set_active(bool value) { active_.store(value); }
    bool pass_gate(bool begin);
    uint32_t now() const { return ticks_(); }

private:
    enum class state : uint32_t { periodic = 0, once = 1, restart = 2, finishing = 3, removed = 4 };
    struct entry {
        int64_t period = 0;
        int32_t remaining = 0;
        callback fn;
        DWORD running_thread = 0;
        state st = state::periodic;
        bool event_driven = false;
        event_base* watched = nullptr;
        timer_handle* owner_handle = nullptr;
        uint32_t generation = 0;  // bumped by every arming, so a running callback is not put back
    };

    entry* find(const timer_handle& handle);
    void release_handle(timer_handle& handle);
    size_t live_event_timers(const entry* except) const;
    void scan(uint32_t elapsed, std::vector<entry*>& due, std::vector<HANDLE>& wait_handles,
              uint32_t& next);
    void run_due(const std::vector<entry*>& due);

    tick_source ticks_;
    uint32_t last_tick_;
    std::list<entry> entries_;  // arming order; addresses stay put while callbacks run
    event callback_done_;
    const bool signal_callbacks_;
    std::atomic<uint32_t> last_callback_tick_{0};
    std::atomic<uint32_t> callback_count_{0};
    CRITICAL_SECTION lock_;
    std::atomic<bool> active_{false};
    std::atomic<pass_gate_fn> pass_gate_;
    DWORD pass_thread_ = 0;  // thread inside process(), 0 otherwise
    bool rescan_ = false;    // the wait list holds the event of a timer stopped during the pass
};

}  // namespace cl
