// cl::thread_obj: owns one worker thread that runs the derived class's run().
//
// The thread reserves `stack_reserve` bytes of stack (STACK_SIZE_PARAM_IS_A_RESERVATION): pages are
// committed only as the stack grows into them, so a small reservation sized for the work that runs
// on the thread keeps an idle thread cheap.
//
// start() and stop() are meant for the owner's thread (not concurrently with each other). The worker
// reads stop_requested() and is woken by signal_stop(); a derived class must call stop() in its own
// destructor, because run() must not outlive the derived part of the object. Once stopped, the
// object does not start again (a later thread would see the stop request and end at once).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "cl/base/unique_handle.h"
#include "cl/timer/event.h"

namespace cl {

class thread_obj {
public:
    using thread_hook = void (*)();
    // Enough for a timer pass and light callbacks, with a wide margin.
    static constexpr DWORD default_stack_reserve = 0x40000;  // 256 KiB
    static constexpr DWORD wait_failed = 0xFFFFFFFF;  // answer of wait_any on failure or time-out

    // `stack_reserve`: the stack reservation of the thread (0: the executable's default).
    explicit thread_obj(DWORD stack_reserve = default_stack_reserve);
    // Terminates a thread that is still running (the derived class should have stopped it).
    virtual ~thread_obj();
    thread_obj(const thread_obj&) = delete;
    thread_obj& operator=(const thread_obj&) = delete;

    // Starts the thread when none exists and waits until it runs; true when a thread exists after.
    bool start();
    // Requests the stop, wakes the thread and waits up to `timeout_ms` for it to end; a thread still
    // running then is terminated. True when the thread ended by itself (or there was none). Called
    // on the thread itself it only requests the stop and forgets the handle.
    bool stop(DWORD timeout_ms);
    // True while a thread exists (started and not stopped).
    bool running() const { return static_cast<bool>(thread_); }
    // Id of the worker thread, 0 when none.
    DWORD thread_id() const { return thread_id_; }
    // The stack reservation the thread is created with.
    DWORD stack_reserve() const { return stack_reserve_; }
    // Functions called on the worker thread around run(); null by default. Set before start().
    void set_thread_hooks(thread_hook on_start, thread_hook on_end);

    // WaitForMultipleObjects on `handles`: index of the signalled (or abandoned) handle, or
    // wait_failed when the wait failed or timed out (also for an empty or over-long list).
    static DWORD wait_any(const std::vector<HANDLE>& handles, DWORD timeout_ms, bool wait_all = false);

protected:
    // The thread's body; it should return soon after stop_requested() turns true.
    virtual void run() = 0;
    // Wakes run() after a stop request; does nothing here.
    virtual void signal_stop();
    bool stop_requested() const { return stop_requested_.load(); }

private:
    static DWORD WINAPI thread_proc(void* self);

    const DWORD stack_reserve_;
    event started_;
    thread_hook on_thread_start_ = nullptr;
    thread_hook on_thread_end_ = nullptr;
    unique_kernel_handle thread_;
    DWORD thread_id_ = 0;
    std::atomic<bool> stop_requested_{false};
};

}  // namespace cl
