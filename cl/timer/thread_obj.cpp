#include "cl/timer/thread_obj.h"

namespace cl {

thread_obj::thread_obj(DWORD stack_reserve) : stack_reserve_(stack_reserve) {}

thread_obj::~thread_obj() {
    // Only reached with a live thread when a derived class forgot to stop it; its run() may already
    // use destroyed members, so it must not go on.
    if (thread_) stop(0);
}

void thread_obj::set_thread_hooks(thread_hook on_start, thread_hook on_end) {
    on_thread_start_ = on_start;
    on_thread_end_ = on_end;
}

bool thread_obj::start() {
    if (thread_) return true;
    DWORD id = 0;
    // Without STACK_SIZE_PARAM_IS_A_RESERVATION the size would be committed up front, and the
    // reservation would stay the executable's default.
    unique_kernel_handle thread(::CreateThread(nullptr, stack_reserve_, &thread_proc, this,
                                               CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &id));
    if (!thread) return false;
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        // A thread that never ran holds nothing; ending it leaves no suspended thread behind.
        ::TerminateThread(thread.get(), 0);
        return false;
    }
    thread_ = std::move(thread);
    thread_id_ = id;
    // Waiting only for a thread that runs: one that could not be resumed never sets the event.
    started_.wait();
    return true;
}

bool thread_obj::stop(DWORD timeout_ms) {
    if (!thread_) return true;
    stop_requested_.store(true);
    signal_stop();
    if (::GetCurrentThreadId() == thread_id_) {
        // The thread cannot wait for its own end; it ends when run() returns.
        thread_.reset();
        thread_id_ = 0;
        return true;
    }
    bool ended = ::WaitForSingleObject(thread_.get(), timeout_ms) == WAIT_OBJECT_0;
    if (!ended) {
        ::TerminateThread(thread_.get(), 0);
        // TerminateThread returns before the thread is gone.
        ::WaitForSingleObject(thread_.get(), 1000);
    }
    thread_.reset();
    thread_id_ = 0;
    return ended;
}

void thread_obj::signal_stop() {}

DWORD thread_obj::wait_any(const std::vector<HANDLE>& handles, DWORD timeout_ms, bool wait_all) {
    if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) return wait_failed;
    DWORD count = static_cast<DWORD>(handles.size());
    DWORD r = ::WaitForMultipleObjects(count, handles.data(), wait_all ? TRUE : FALSE, timeout_ms);
    if (r < WAIT_OBJECT_0 + count) return r - WAIT_OBJECT_0;
    if (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + count) return r - WAIT_ABANDONED_0;
    return wait_failed;
}

DWORD WINAPI thread_obj::thread_proc(void* param) {
    thread_obj* self = static_cast<thread_obj*>(param);
    self->started_.set();
    if (self->stop_requested()) return 0;
    if (self->on_thread_start_) self->on_thread_start_();
    self->run();
    if (self->on_thread_end_) self->on_thread_end_();
    return 0;
}

}  // namespace cl
