// mail_queue: the e-mail worker. Checks hand their e-mails over and go on at once; the worker sends
// them one at a time in the order they came, so a slow SMTP server never holds a check.
//
// post runs on the check's thread, stop and terminate on the thread that stops the watching or the
// service; one lock guards the queue and the worker's handle. The worker thread is created when a
// job arrives and none runs, and ends as soon as the queue is empty (an idle thread would cost its
// stack). The process's one queue is never destroyed: a worker cut off by the process's end must
// not find it gone.
#pragma once

#include "cl/base/unique_handle.h"
#include "core/mail_step.h"

#include <windows.h>

#include <cstddef>
#include <deque>
#include <mutex>

namespace tolvarn {

class mail_queue {
public:
    // How many e-mails may wait (besides the one being sent); more are dropped.
    static constexpr std::size_t max_waiting = 100;

    mail_queue() = default;
    mail_queue(const mail_queue&) = delete;
    mail_queue& operator=(const mail_queue&) = delete;

    // Queues `job` and starts the worker when none runs. False, with a log line, when the queue is
    // full ("E-mail for NAME dropped: too many e-mails waiting.") or the worker cannot be started
    // (the job then waits for the next post); false without one once stopped.
    bool post(mail_job job);
    // Accepts jobs (again): the state after construction, and after stop for a new run.
    void start();
    // Refuses new jobs, then gives the worker up to `timeout_ms` to send what waits; a worker still
    // busy then is terminated ("Timed out waiting for e-mail thread shutdown. Terminating thread.")
    // and what waited is dropped. True when the worker ended by itself (or none ran).
    bool stop(DWORD timeout_ms);
    // Jobs waiting now (not counting one being sent).
    std::size_t waiting();

private:
    // Ends a running worker at once and drops what waits.
    void terminate();
    static DWORD WINAPI thread_proc(LPVOID self);
    void run();

    std::mutex lock_;
    std::deque<mail_job> jobs_;
    cl::unique_kernel_handle thread_;
    bool running_ = false;
    bool stopped_ = false;
};

// The process's e-mail worker.
mail_queue& mail_worker();

}  // namespace tolvarn
