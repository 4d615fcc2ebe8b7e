// Exit detection and crash-loop back-off for one watched program: the opt-in keys watch_exit,
// restart_backoff and min_uptime of its section.
//
// Each watch of the watch cycle owns one. running, may_start and started run inside check_program on
// the timer thread, one check at a time. The system thread pool waits on the held processes; its
// callbacks only mark a process ended and, when it was the last one held, call `last_exit` (given
// at construction) on the pool thread. release and the destructor run on the timer thread or, once
// the watch's timer is stopped, on the thread that stops the watching; never in a wait callback.
#pragma once

#include "cl/base/unique_handle.h"
#include "core/app_config.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tolvarn {

class restart_guard {
public:
    explicit restart_guard(std::function<void()> last_exit = nullptr);
    ~restart_guard();  // release()
    restart_guard(const restart_guard&) = delete;
    restart_guard& operator=(const restart_guard&) = delete;

    // At a check that found the program: with watch_exit, waits on the processes `ids` (of the
    // program's name) instead of what was held so far; a process that cannot be opened is left to
    // the periodic check. A hold keeps its end: it is the watchdog's own next start that waits.
    void running(const watch_entry& entry, const std::vector<DWORD>& ids);
    // At a check that found the program missing at tick count `now`: true when its call lines may
    // run now (they count as a start at `now`). False while a start is held back; the check that
    // decides a hold logs "Program NAME ended again within S seconds; next start in D seconds.".
    // Always true with restart_backoff 0 or no call lines.
    bool may_start(const watch_entry& entry, std::uint32_t now);
    // After may_start: with watch_exit, waits on the processes the check started (empty handles
    // are skipped) instead of what was held so far.
    void started(const watch_entry& entry, std::vector<cl::unique_kernel_handle>& processes);
    // True with the tick count at which a held-back start may run; false when none is held back.
    bool held_until(std::uint32_t& tick) const;
    // Stops every wait (waiting for a callback under way) and closes every handle.
    void release();

private:
    struct waited;
    static void CALLBACK on_end(void* context, BOOLEAN timed_out);
    void hold(const std::vector<DWORD>& ids, std::vector<cl::unique_kernel_handle>& processes);

    const std::function<void()> last_exit_;
    std::mutex lock_;                              // guards held_ against the wait callbacks
    std::vector<std::unique_ptr<waited>> held_;
    // The back-off; the timer thread alone uses it.
    bool started_ = false;
    bool holding_ = false;
    std::uint32_t start_tick_ = 0;
    std::uint32_t release_tick_ = 0;
    std::uint32_t delay_ = 0;  // seconds of the last hold; 0: none since the last good start
};

}  // namespace tolvarn
