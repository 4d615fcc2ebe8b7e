#include "cl/timer/passive_timer.h"

#include <algorithm>

namespace cl {

namespace {

void unregister(std::vector<event*>& list, const event* e) {
    list.erase(std::remove(list.begin(), list.end(), e), list.end());
}

void set_all(const std::vector<event*>& list) {
    for (event* e : list) e->set();
}

}  // namespace

passive_timer::passive_timer(const char* /*name*/, DWORD stack_reserve)
    : base_timer(true), thread_obj(stack_reserve) {
    start_service();
}

passive_timer::passive_timer(const char* /*name*/, tick_source ticks) : base_timer(true, ticks) {
    start_service();
}

void passive_timer::start_service() {
    if (!start()) return;
    // run() does the same, but arming and sync() right after the constructor must already work;
    // whatever they ask of the thread waits in wake_event and the waiter lists until it gets there.
    enter_lock();
    thread_running_ = true;
    set_active(true);
    leave_lock();
}

passive_timer::~passive_timer() {
    sync(stop_timeout_ms);
    stop(stop_timeout_ms);
    // A terminated thread (or one stopped before run()) never cleared them. No lock: a thread
    // terminated inside a pass may have left it taken.
    thread_running_ = false;
    set_active(false);
}

bool passive_timer::sync(DWORD timeout_ms) {
    enter_lock();
    if (stop_requested() || !running() || !thread_running_ || ::GetCurrentThreadId() == thread_id()) {
        leave_lock();
        return false;
    }
    event begun;
    event ended;
    begin_waiters_.push_back(&begun);
    next_end_waiters_.push_back(&ended);
    wake_event_.set();
    leave_lock();

    const DWORD start = ::GetTickCount();
    bool done = begun.wait(timeout_ms);
    if (done) {
        const DWORD spent = ::GetTickCount() - start;
        done = timeout_ms == INFINITE ? ended.wait()
                                      : ended.wait(spent < timeout_ms ? timeout_ms - spent : 0);
    }

    enter_lock();
    unregister(begin_waiters_, &begun);
    unregister(next_end_waiters_, &ended);
    unregister(end_waiters_, &ended);
    leave_lock();
    return done;
}

void passive_timer::on_pass_begin() {
    set_all(begin_waiters_);
    // Only a pass that begins after sync() was called counts: the end of the pass that was under way
    // then would not do.
    end_waiters_.insert(end_waiters_.end(), next_end_waiters_.begin(), next_end_waiters_.end());
    next_end_waiters_.clear();
}

void passive_timer::on_pass_end() { set_all(end_waiters_); }

void passive_timer::on_scan_done() { set_all(scan_waiters_); }

void passive_timer::wake() { wake_event_.set(); }

void passive_timer::wait_for_scan() {
    // Nobody scans for a thread that is gone or stopping (a thread stopped before run() never
    // releases waiters), and the thread cannot wait for itself.
    if (!thread_running_ || stop_requested() || ::GetCurrentThreadId() == thread_id()) return;
    event scanned;
    scan_waiters_.push_back(&scanned);
    wake();
    leave_lock();
    scanned.wait();
    enter_lock();
    unregister(scan_waiters_, &scanned);
}

void passive_timer::signal_stop() { wake(); }

void passive_timer::run() {
    enter_lock();
    thread_running_ = true;
    set_active(true);
    leave_lock();

    DWORD wait = INFINITE;
    std::vector<HANDLE> handles;
    while (!stop_requested()) {
        // Behind the events of the event-driven timers, which the last pass left in the list.
        handles.push_back(wake_event_.native_handle());
        if (!wake_event_.wait(0)) wait_any(handles, wait, false);
        wake_event_.reset();
        if (stop_requested()) break;  // a stop request starts no further callbacks
        if (pass_gate(true)) {
            wait = process(handles);
            pass_gate(false);
        } else {
            wait = 1;
            handles.pop_back();
        }
    }

    enter_lock();
    set_all(scan_waiters_);
    thread_running_ = false;
    set_active(false);
    leave_lock();
}

}  // namespace cl
