#include "core/mail_queue.h"

#include "cl/format/format.h"
#include "core/log.h"

#include <utility>

namespace tolvarn {

mail_queue& mail_worker() {
    static mail_queue* const queue = new mail_queue();
    return *queue;
}

bool mail_queue::post(mail_job job) {
    std::unique_lock<std::mutex> guard(lock_);
    if (stopped_) return false;
    if (jobs_.size() >= max_waiting) {
        guard.unlock();
        log((cl::wformat(L"E-mail for %? dropped: too many e-mails waiting.\n") % job.program).str());
        return false;
    }
    jobs_.push_back(std::move(job));
    if (running_) return true;
    // The send may take the stack a program built with the platform's tools gets; it is reserved only.
    HANDLE thread = ::CreateThread(nullptr, 0x100000, &thread_proc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        const DWORD error = ::GetLastError();
        guard.unlock();
        log((cl::wformat(L"Cannot start the e-mail thread (error %?).\n") % error).str());
        return false;
    }
    thread_.reset(thread);
    running_ = true;
    return true;
}

void mail_queue::start() {
    std::lock_guard<std::mutex> guard(lock_);
    stopped_ = false;
}

bool mail_queue::stop(DWORD timeout_ms) {
    HANDLE thread = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopped_ = true;
        if (running_) thread = thread_.get();
    }
    // The handle stays open: only post replaces it, and post refuses from now on.
    if (thread == nullptr || ::WaitForSingleObject(thread, timeout_ms) != WAIT_TIMEOUT) return true;
    log(L"Timed out waiting for e-mail thread shutdown. Terminating thread.\n");
    terminate();
    return false;
}

void mail_queue::terminate() {
    std::lock_guard<std::mutex> guard(lock_);
    // The worker takes the lock only around the queue, never while it sends, so it is not cut off
    // holding it.
    if (!running_) return;
    ::TerminateThread(thread_.get(), 0);
    ::WaitForSingleObject(thread_.get(), INFINITE);
    running_ = false;
    jobs_.clear();
}

std::size_t mail_queue::waiting() {
    std::lock_guard<std::mutex> guard(lock_);
    return jobs_.size();
}

DWORD WINAPI mail_queue::thread_proc(LPVOID self) {
    static_cast<mail_queue*>(self)->run();
    return 0;
}

void mail_queue::run() {
    for (;;) {
        std::wstring program;
        try {
            mail_job job;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (jobs_.empty()) {
                    running_ = false;
                    return;
                }
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            program = job.program;
            send_notification(job);
        } catch (...) {
            // Nothing may escape the thread; the next e-mail is tried all the same.
            try {
                log((cl::wformat(L"E-mail for %? failed unexpectedly.\n") % program).str());
            } catch (...) {
            }
        }
    }
}

}  // namespace tolvarn
