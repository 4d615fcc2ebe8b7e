#include "cl/timer/base_timer.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace cl {

namespace {

bool default_pass_gate(bool) { return true; }

int32_t saturate(int64_t value) {
    constexpr int64_t lo = std::numeric_limits<int32_t>::min();
    constexpr int64_t hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::min(std::max(value, lo), hi));
}

// A locked section that releases the lock on every path, exceptions from callbacks included.
class lock_scope {
public:
    explicit lock_scope(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
    ~lock_scope() { ::LeaveCriticalSection(&cs_); }
    lock_scope(const lock_scope&) = delete;
    lock_scope& operator=(const lock_scope&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

// Runs a function when the scope ends, on every path.
template <class F>
class scope_exit {
public:
    explicit scope_exit(F f) : f_(std::move(f)) {}
    ~scope_exit() { f_(); }
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;

private:
    F f_;
};

}  // namespace

base_timer::base_timer(bool signal_callbacks, tick_source ticks)
    : ticks_(ticks ? ticks : &::GetTickCount),
      last_tick_(ticks_()),
      signal_callbacks_(signal_callbacks),
      pass_gate_(&default_pass_gate) {
    ::InitializeCriticalSection(&lock_);
}

void base_timer::release_handle(timer_handle& handle) {
    // Only a handle armed here: one armed on another service meanwhile keeps that timer.
    base_timer* self = this;
    handle.timer_.compare_exchange_strong(self, nullptr);
}

base_timer::~base_timer() {
    // Nobody else should use the service now, but a thread terminated inside a pass may have left
    // the lock taken for ever: wait for it a bounded time only, so that process exit cannot hang.
    bool locked = false;
    for (int i = 0; i < 1000 && !(locked = ::TryEnterCriticalSection(&lock_) != FALSE); ++i) {
        ::Sleep(1);
    }
    for (entry& e : entries_) {
        // Live timers still have their handles (a handle stops its timer before it goes away), and
        // a handle must not keep pointing at a destroyed service.
        if (e.st != state::removed && e.st != state::finishing) release_handle(*e.owner_handle);
    }
    // The callbacks die outside the list: whatever their destructors ask of the service finds
    // nothing armed.
    std::list<entry> doomed;
    doomed.swap(entries_);
    active_.store(false);
    if (locked) ::LeaveCriticalSection(&lock_);
    doomed.clear();
    ::DeleteCriticalSection(&lock_);
}

void base_timer::on_next_due(uint32_t) {}
void base_timer::on_pass_begin() {}
void base_timer::on_pass_end() {}
void base_timer::on_scan_done() {}

void base_timer::set_pass_gate(pass_gate_fn gate) {
    pass_gate_.store(gate ? gate : &default_pass_gate);
}

bool base_timer::pass_gate(bool begin) { return pass_gate_.load()(begin); }

base_timer::entry* base_timer::find(const timer_handle& handle) {
    for (entry& e : entries_) {
        if (e.owner_handle == &handle && e.st != state::removed) return &e;
    }
    return nullptr;
}

size_t base_timer::live_event_timers(const entry* except) const {
    size_t count = 0;
    for (const entry& e : entries_) {
        if (&e != except && e.event_driven && e.st != state::removed && e.st != state::finishing) {
            ++count;
        }
    }
    return count;
}

void base_timer::set_timer(timer_handle& handle, const callback& cb, int64_t interval,
                           unsigned flags, bool force) {
    if (!active() || cb.empty()) return;
    event_base* watched = nullptr;
    if (flags & timer_event) {
        watched = reinterpret_cast<event_base*>(static_cast<intptr_t>(interval));
        if (watched == nullptr) return;
    }
    // Taking the other service's lock while holding ours could deadlock against a caller doing the
    // opposite, so the handle leaves its old service first.
    base_timer* other = handle.timer_.load();
    if (other != nullptr && other != this) other->cancel(handle, false);

    lock_scope guard(lock_);
    entry* e = find(handle);
    if (e != nullptr && e->st != state::finishing && !force) return;
    if (watched != nullptr && live_event_timers(e) >= max_event_timers) return;
    bool is_new = e == nullptr;
    if (is_new) {
        entries_.emplace_back();
        e = &entries_.back();
    }

    state st = (flags & timer_once) ? state::once
               : (flags & timer_restart) ? state::restart
                                         : state::periodic;
    int64_t period = 0;
    if (watched == nullptr) {
        period = std::min(std::max<int64_t>(interval, 0), max_period_ms);
        if (period == 0 && st != state::once) period = zero_period_substitute_ms;
    }
    e->period = period;
    e->st = st;
    e->event_driven = watched != nullptr;
    e->watched = watched;
    // Counted from the last pass, whose tick the next pass subtracts: the first firing comes one
    // interval after this call however long ago that pass was.
    uint32_t since_pass = now() - last_tick_;
    e->remaining = saturate(period + static_cast<int64_t>(since_pass));
    e->fn = cb;
    ++e->generation;
    if (is_new) {
        e->owner_handle = &handle;
        e->running_thread = 0;
    }
    handle.timer_.store(this);
    wake();
}

bool base_timer::cancel(timer_handle& handle, bool wait) {
    lock_scope guard(lock_);
    entry* e = find(handle);
    if (!active()) {
        // No thread runs callbacks any more. The handle still lets go of its entry, so that the
        // teardown never reaches a handle that was destroyed meanwhile.
        if (e != nullptr) e->st = e->running_thread != 0 ? state::finishing : state::removed;
        release_handle(handle);
        return false;
    }
    if (e == nullptr) {
        release_handle(handle);
        return false;
    }
    const DWORD self = ::GetCurrentThreadId();
    const bool on_pass_thread = self == pass_thread_;
    const bool event_driven = e->event_driven;
    while (e != nullptr) {
        e->st = e->running_thread != 0 ? state::finishing : state::removed;
        if (!wait || e->running_thread == 0 || e->running_thread == self) break;
        // The callback runs on the service's thread: wait until it has returned. Only one callback
        // runs at a time, so the next callback_done after this reset is this one's.
        if (signal_callbacks_) {
            callback_done_.reset();
            leave_lock();
            callback_done_.wait();
            enter_lock();
        } else {
            leave_lock();
            ::Sleep(1);
            enter_lock();
        }
        // The callback may have armed its handle again meanwhile; the stop still wins.
        e = find(handle);
    }
    if (event_driven) {
        if (on_pass_thread) {
            // A callback of this pass: the thread must not wait on that event again before it has
            // rebuilt its wait list.
            rescan_ = true;
        } else if (wait) {
            wait_for_scan();
        } else {
            wake();
        }
    }
    release_handle(handle);
    return true;
}

void base_timer::scan(uint32_t elapsed, std::vector<entry*>& due,
                      std::vector<HANDLE>& wait_handles, uint32_t& next) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        entry& e = *it;
        if (e.st == state::removed) {
            it = entries_.erase(it);
            continue;
        }
        if (!e.event_driven) {
            int64_t r = static_cast<int64_t>(e.remaining) - elapsed;
            if (r < 1) {
                due.push_back(&e);
                if (e.st == state::restart) {
                    r = e.period;
                } else if (e.st != state::once) {
                    r += e.period;
                }
            }
            if (r < 1) {
                next = 0;
                if (e.st == state::periodic && e.period < catch_up_unlimited_ms &&
                    r < -max_catch_up_periods * e.period) {
                    r = -max_catch_up_periods * e.period;
                }
            } else {
                next = static_cast<uint32_t>(std::min<int64_t>(next, r));
            }
            e.remaining = saturate(r);
        } else {
            bool fired = false;
            if (e.watched->wait(0)) {
                due.push_back(&e);
                fired = true;
                if (e.st != state::once) e.watched->reset();
            }
            if (!(fired && e.st == state::once)) wait_handles.push_back(e.watched->native_handle());
        }
        ++it;
    }
}

void base_timer::run_due(const std::vector<entry*>& due) {
    const DWORD self = ::GetCurrentThreadId();
    for (entry* e : due) {
        if (e->st == state::removed) continue;
        if (e->st == state::once) {
            e->st = state::finishing;
            release_handle(*e->owner_handle);
        }
        e->running_thread = self;
        // The callback leaves the entry while it runs: arming the handle again from inside it
        // replaces the entry's callback, which must not destroy the one that is running.
        callback fn;
        fn.swap(e->fn);
        const uint32_t generation = e->generation;
        leave_lock();
        {
            // The service catches nothing a callback throws, but the lock and the entry are put
            // back in order while the exception passes.
            scope_exit relock([&] {
                enter_lock();
                if (e->generation == generation) e->fn.swap(fn);
                e->running_thread = 0;
                if (e->st == state::finishing) e->st = state::removed;
                if (signal_callbacks_) callback_done_.set();
            });
            last_callback_tick_.store(now());
            callback_count_.fetch_add(1);
            fn();
        }
    }
}

uint32_t base_timer::process(std::vector<HANDLE>& wait_handles) {
    lock_scope guard(lock_);
    pass_thread_ = ::GetCurrentThreadId();
    scope_exit pass_done([this] { pass_thread_ = 0; });
    std::vector<entry*> due;
    uint32_t wait = 0;
    do {
        const uint32_t tick = now();
        const uint32_t elapsed = tick - last_tick_;  // unsigned: the tick count's wrap is harmless
        last_tick_ = tick;
        on_pass_begin();
        due.clear();
        wait_handles.clear();
        rescan_ = false;
        uint32_t next = 0xFFFFFFFF;
        scan(elapsed, due, wait_handles, next);
        on_scan_done();
        run_due(due);
        const uint32_t spent = now() - last_tick_;
        wait = spent < next ? next - spent : 0;
        if (rescan_) wait = 0;
    } while (wait == 0);
    on_pass_end();
    if (wait != 0xFFFFFFFF) on_next_due(wait);
    return wait;
}

}  // namespace cl
