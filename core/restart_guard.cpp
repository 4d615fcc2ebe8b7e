#include "core/restart_guard.h"

#include "cl/format/format.h"
#include "core/log.h"

#include <algorithm>
#include <utility>

namespace tolvarn {

namespace {

// The longest hold: its end must stay within the signed 32-bit reach of tick-count arithmetic.
constexpr std::uint32_t max_hold_seconds = 0x7FFFFFFF / 1000;

}  // namespace

// One held process and its thread-pool wait. `listed` and `ended` are guarded by the owner's lock.
struct restart_guard::waited {
    restart_guard* owner = nullptr;
    DWORD id = 0;
    cl::unique_kernel_handle process;
    HANDLE wait = nullptr;
    bool listed = true;
    bool ended = false;
};

restart_guard::restart_guard(std::function<void()> last_exit) : last_exit_(std::move(last_exit)) {}

restart_guard::~restart_guard() { release(); }

void CALLBACK restart_guard::on_end(void* context, BOOLEAN) {
    // On a pool thread: mark the end, and only when it ends the last listed process ask for a check.
    // A wait dropped by a check under way is no longer listed: that check covers its end.
    waited* w = static_cast<waited*>(context);
    restart_guard& owner = *w->owner;
    bool last = false;
    {
        std::lock_guard<std::mutex> guard(owner.lock_);
        w->ended = true;
        last = w->listed && std::all_of(owner.held_.begin(), owner.held_.end(),
                                        [](const std::unique_ptr<waited>& h) { return h->ended; });
    }
    if (last && owner.last_exit_) {
        try {
            owner.last_exit_();
        } catch (...) {
            // Nothing may escape into the pool; the periodic check stays.
        }
    }
}

void restart_guard::running(const watch_entry& entry, const std::vector<DWORD>& ids) {
    std::vector<cl::unique_kernel_handle> none;
    if (entry.watch_exit != 0) hold(ids, none);
}

bool restart_guard::may_start(const watch_entry& entry, std::uint32_t now) {
    if (entry.restart_backoff == 0 || entry.calls.empty()) return true;
    if (holding_) {
        if (static_cast<std::int32_t>(now - release_tick_) < 0) return false;
        holding_ = false;
    } else if (started_ && now - start_tick_ < static_cast<std::uint64_t>(entry.min_uptime) * 1000u) {
        // Ended within the up-time of the watchdog's own last start: hold the next one, from the
        // interval (one second at least) doubling up to the configured longest hold.
        const std::uint32_t longest = std::min(entry.restart_backoff, max_hold_seconds);
        delay_ = std::min(delay_ == 0 ? std::max(entry.interval, 1u) : delay_ * 2, longest);
        holding_ = true;
        release_tick_ = now + delay_ * 1000u;
        log((cl::wformat(L"Program %? ended again within %? seconds; next start in %? seconds.\n") % entry.name %
             entry.min_uptime % delay_)
                .str());
        return false;
    } else {
        delay_ = 0;  // the last start stayed up: a fresh back-off
    }
    started_ = true;
    start_tick_ = now;
    return true;
}

void restart_guard::started(const watch_entry& entry, std::vector<cl::unique_kernel_handle>& processes) {
    if (entry.watch_exit != 0) hold(std::vector<DWORD>(), processes);
}

bool restart_guard::held_until(std::uint32_t& tick) const {
    tick = release_tick_;
    return holding_;
}

void restart_guard::hold(const std::vector<DWORD>& ids, std::vector<cl::unique_kernel_handle>& processes) {
    std::vector<std::unique_ptr<waited>> gone;
    std::vector<DWORD> wanted = ids;
    for (const cl::unique_kernel_handle& p : processes)
        if (p) wanted.push_back(::GetProcessId(p.get()));
    {
        std::lock_guard<std::mutex> guard(lock_);
        // Keep the waits on processes still wanted, drop the others (ended ones and those of
        // another name, such as a launcher the last start ran).
        for (auto it = held_.begin(); it != held_.end();) {
            const bool keep = !(*it)->ended && std::find(wanted.begin(), wanted.end(), (*it)->id) != wanted.end();
            if (keep) {
                wanted.erase(std::find(wanted.begin(), wanted.end(), (*it)->id));
                ++it;
            } else {
                (*it)->listed = false;
                gone.push_back(std::move(*it));
                it = held_.erase(it);
            }
        }
        // The rest is new: the processes just started come with their handles; the others are
        // opened, and one that cannot be (another user's, a protected one, ended) is skipped.
        for (DWORD id : wanted) {
            std::unique_ptr<waited> w(new waited);
            w->owner = this;
            w->id = id;
            for (cl::unique_kernel_handle& p : processes)
                if (p && ::GetProcessId(p.get()) == id) w->process = std::move(p);
            if (!w->process) w->process.reset(::OpenProcess(SYNCHRONIZE, FALSE, id));
            if (!w->process) continue;
            if (!::RegisterWaitForSingleObject(&w->wait, w->process.get(), &on_end, w.get(), INFINITE,
                                               WT_EXECUTEONLYONCE))
                continue;
            held_.push_back(std::move(w));
        }
    }
    // Outside the lock: a callback under way may be waiting for it.
    for (std::unique_ptr<waited>& w : gone) ::UnregisterWaitEx(w->wait, INVALID_HANDLE_VALUE);
}

void restart_guard::release() {
    std::vector<std::unique_ptr<waited>> gone;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (std::unique_ptr<waited>& w : held_) w->listed = false;
        gone.swap(held_);
    }
    for (std::unique_ptr<waited>& w : gone) ::UnregisterWaitEx(w->wait, INVALID_HANDLE_VALUE);
}

}  // namespace tolvarn
