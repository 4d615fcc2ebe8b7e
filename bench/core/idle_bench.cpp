// Idle cost, over D seconds (default 60) with 10 watched programs that keep running (copies of
// sleeper.exe):
//   - the timer service: a cl::passive_timer of its own, counting its passes (on_pass_begin), arms
//     10 periodic check_program timers of 1 second the way start_watch_timers does; passes are
//     compared with the due events (callbacks run) and with the instants at which timers fall due.
//     A pass that runs no callback is a spurious wake-up. Goal: passes about the due instants
//     (never more than the due events), no spurious pass.
//   - the real tolvarn.exe watching the same 10 programs every second: committed private memory
//     after start and at the end, above that of a program that only sleeps (one thread) measured
//     in the same run, its threads, CPU time (GetProcessTimes), exe size. Goals: at most 2 MB above
//     the sleeping program, exe at most 2 MB.
//   - stack use on the "slow" timer thread: the deepest point a check (process snapshot, a start
//     that works and one that fails, the log's flush) and the e-mail step reach, against the
//     thread's stack reservation.
//
// Usage: idle_bench [seconds, default 60]
#include "bench/bench_util.h"
#include "bench/core/watchdog_run.h"
#include "cl/timer/passive_timer.h"
#include "cl/timer/timer_handle.h"
#include "cl/timer/timers.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"
#include "core/app_config.h"
#include "core/mail_step.h"
#include "core/watch_cycle.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <functional>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int programs = 10;

// A timer service that counts its passes and the passes that ran no callback.
class counting_timer : public cl::passive_timer {
public:
    counting_timer() : cl::passive_timer("idle-bench") {}
    ~counting_timer() override { sync(stop_timeout_ms); }
    long passes() const { return passes_.load(); }
    long empty_passes() const { return empty_.load(); }

protected:
    // Called with the service's lock held at the start of every repetition of a pass.
    void on_pass_begin() override {
        close_repetition();
        ++passes_;
        open_ = true;
        callbacks_at_begin_ = callback_count();
        cl::passive_timer::on_pass_begin();
    }
    void on_pass_end() override {
        close_repetition();
        cl::passive_timer::on_pass_end();
    }

private:
    void close_repetition() {
        if (open_ && callback_count() == callbacks_at_begin_) ++empty_;
        open_ = false;
    }
    std::atomic<long> passes_{0};
    std::atomic<long> empty_{0};
    bool open_ = false;
    unsigned callbacks_at_begin_ = 0;
};

struct memory {
    double private_mb = -1, pagefile_mb = -1, working_set_mb = -1, committed_private_mb = -1, large_regions_mb = -1;
};

// Committed private memory, region by region (VirtualQueryEx): the same quantity as PrivateUsage,
// for systems whose GetProcessMemoryInfo leaves that counter at 0 (Wine does for other processes).
// `large_mb` gets the part in regions of about 1 MiB and more (a 1 MiB stack shows as 1,016 KiB
// beside its guard pages): under Wine those are the thread stacks (committed whole) and its
// per-thread areas, which Windows only reserves.
double committed_private_mb(HANDLE process, double* large_mb = nullptr) {
    unsigned long long total = 0, large = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; ::VirtualQueryEx(process, p, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
            total += info.RegionSize;
            if (info.RegionSize >= 1000 * 1024) large += info.RegionSize;
        }
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= p) break;
        p = next;
    }
    if (large_mb) *large_mb = large / 1048576.0;
    return total / 1048576.0;
}

memory memory_of(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    memory m;
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
        m.private_mb = counters.PrivateUsage / 1048576.0;
        m.pagefile_mb = counters.PagefileUsage / 1048576.0;
        m.working_set_mb = counters.WorkingSetSize / 1048576.0;
    }
    m.committed_private_mb = committed_private_mb(process, &m.large_regions_mb);
    return m;
}

int thread_count(DWORD process_id) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Thread32First(snapshot, &entry); ok; ok = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == process_id) ++n;
    ::CloseHandle(snapshot);
    return n;
}

// Stack use of work run as a callback of `timer`. The callback fills the unused part of its
// thread's stack with a pattern, runs the work and finds the deepest byte that changed. Under Wine
// the whole stack is committed from the start; on Windows it grows page by page, the committed
// region around the stack pointer reaching lower, so the lower of the two marks counts. Answers
// bytes from the stack's top.
constexpr unsigned char stack_pattern = 0xA5;

// The committed, writable pages of one reservation around `address`: [first, end). Windows shows
// them as one region; Wine as one region per page.
void stack_span(const volatile void* address, std::uintptr_t& first, std::uintptr_t& end) {
    MEMORY_BASIC_INFORMATION info{};
    ::VirtualQuery(const_cast<const void*>(address), &info, sizeof info);
    const void* const reservation = info.AllocationBase;
    first = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
    end = first + info.RegionSize;
    auto usable = [&](std::uintptr_t a) {
        return ::VirtualQuery(reinterpret_cast<const void*>(a), &info, sizeof info) == sizeof info &&
               info.AllocationBase == reservation && info.State == MEM_COMMIT && info.Protect == PAGE_READWRITE;
    };
    while (usable(first - 1)) first = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
    while (usable(end)) end = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
}

void fill_stack(std::uintptr_t from, std::uintptr_t to) {
    for (std::uintptr_t a = from; a < to; ++a) *reinterpret_cast<volatile unsigned char*>(a) = stack_pattern;
}
// Called through a volatile pointer so that it is never inlined into the frame it must spare.
void (*volatile fill_stack_call)(std::uintptr_t, std::uintptr_t) = &fill_stack;

std::size_t stack_use(cl::passive_timer& timer, const std::function<void()>& work) {
    std::size_t used = 0;
    cl::event done;
    cl::timer_handle h;
    timer.set_timer(h, [&] {
        volatile unsigned char here = 0;
        std::uintptr_t limit = 0, base = 0;
        stack_span(&here, limit, base);
        const std::uintptr_t top = reinterpret_cast<std::uintptr_t>(&here) - 1024;  // clear of fill_stack's frame
        fill_stack_call(limit, top);
        work();
        std::uintptr_t deepest = 0, ignored = 0;
        stack_span(&here, deepest, ignored);
        if (deepest >= limit) {
            deepest = top;
            for (std::uintptr_t a = limit; a < top; ++a)
                if (*reinterpret_cast<const volatile unsigned char*>(a) != stack_pattern) {
                    deepest = a;
                    break;
                }
        }
        used = static_cast<std::size_t>(base - deepest);
        done.set();
    }, 0, cl::timer_once);
    done.wait(60000);
    return used;
}

double cpu_seconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto sec = [](const FILETIME& f) {
        return ((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return sec(kernel) + sec(user);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    bench::watchdog_run run;
    if (!run.ok()) return 1;
    std::string ini = "[tolvarn]\r\n";
    std::vector<HANDLE> sleepers;
    std::vector<tolvarn::watch_entry> entries;
    for (int i = 0; i < programs; ++i) {
        const std::wstring name = L"idle_" + std::to_wstring(i) + L".exe";
        if (!run.copy(L"sleeper.exe", name)) {
            std::printf("sleeper.exe must be beside this program\n");
            return 1;
        }
        sleepers.push_back(run.start(L"\"" + run.dir() + name + L"\""));
        ini += "\r\n[" + bench::utf8(name) + "]\r\ninterval=1\r\n";
        tolvarn::watch_entry entry;
        entry.name = name;
        entry.interval = 1;
        entries.push_back(entry);
    }
    run.write_ini(ini);
    // The first sleeper stays open: the smallest program there is, as the memory baseline.
    for (std::size_t i = 1; i < sleepers.size(); ++i)
        if (sleepers[i]) ::CloseHandle(sleepers[i]);
    HANDLE baseline = sleepers[0];
    if (!run.start_watchdog()) return 1;

    // The timer service under test: the same arming as start_watch_timers.
    counting_timer timer;
    std::vector<cl::timer_handle> handles(programs);
    const double t0 = bench::now_seconds();
    for (int i = 0; i < programs; ++i) {
        const tolvarn::watch_entry entry = entries[static_cast<std::size_t>(i)];
        timer.set_timer(handles[static_cast<std::size_t>(i)], [entry] { tolvarn::check_program(entry); },
                        static_cast<std::uint32_t>(entry.interval * 1000u), 0, false);
    }
    // The passes that arming itself caused (each set_timer wakes the thread) are not counted.
    ::Sleep(300);
    const long passes_at_start = timer.passes();
    const long empty_at_start = timer.empty_passes();
    const unsigned callbacks_at_start = timer.callback_count();

    ::Sleep(1700);
    const memory early = memory_of(run.watchdog());
    const double cpu_early = cpu_seconds(run.watchdog());
    ::Sleep(static_cast<DWORD>(seconds > 2 ? seconds - 2 : 0) * 1000);

    for (auto& h : handles) timer.cancel(h, true);
    const double elapsed = bench::now_seconds() - t0;
    const long passes = timer.passes() - passes_at_start;
    const unsigned callbacks = timer.callback_count() - callbacks_at_start;
    const long empty = timer.empty_passes() - empty_at_start;
    const memory late = memory_of(run.watchdog());
    const double cpu_late = cpu_seconds(run.watchdog());
    const int threads = thread_count(::GetProcessId(run.watchdog()));
    const memory minimal = memory_of(baseline);
    DWORD handles_late = 0;
    const BOOL have_handles = ::GetProcessHandleCount(run.watchdog(), &handles_late);
    const long long exe_size = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW((run.dir() + L"tolvarn.exe").c_str(), GetFileExInfoStandard, &data)) return -1LL;
        return static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    }();
    const int checks_logged = [&] {
        int n = 0;
        for (const std::string& line : run.log_lines())
            if (line.find("is no longer running") != std::string::npos) ++n;
        return n;
    }();
    run.stop();
    if (baseline) ::CloseHandle(baseline);

    // The slow thread's deepest work, on this process's own "slow" service: a check of a missing
    // program that starts sleeper.exe (ending at once) and a program that does not exist (its
    // error text), then the log's flush; and the e-mail step of a check (COM start-up, the
    // messaging component's creation and its failure path where it is missing, as under Wine).
    std::printf("stack use of the slow thread's work; the lines it logs:\n");
    cl::g_file_trace.set_file_name(run.dir() + L"stack.log");
    tolvarn::watch_entry check;
    check.name = L"idle_missing.exe";
    check.calls = {L"\"" + run.dir() + L"idle_0.exe\" --exit-after-ms 0", L"idle_no_such_program.exe"};
    const std::size_t check_stack = stack_use(cl::slow_timer(), [&] {
        tolvarn::check_program(check);
        cl::g_file_trace.flush(false);
    });
    tolvarn::watch_entry mail = check;
    mail.calls.clear();
    mail.mail_from = L"watchdog@example.com";
    mail.mail_to = {L"ops@example.com"};
    const std::size_t mail_stack = stack_use(cl::slow_timer(), [&] { tolvarn::send_notification(tolvarn::make_mail_job(mail)); });

    const long due_instants = static_cast<long>(elapsed);  // all ten were armed together
    std::printf("idle cost, %d watched programs running, interval 1 s, %.0f s\n", programs, elapsed);
    std::printf("  timer service: %ld passes, %u callbacks (due events ~%ld at %ld due instants), %ld passes without a callback\n",
                passes, callbacks, due_instants * programs, due_instants, empty);
    std::printf("  passes per due instant %.2f, per due event %.3f  (goal: ~1 per instant, no spurious pass)\n",
                static_cast<double>(passes) / due_instants, static_cast<double>(passes) / (due_instants * programs));
    std::printf("  tolvarn.exe: PrivateUsage %.2f MB after 2 s, %.2f MB at the end; committed private regions %.2f MB -> %.2f MB;"
                " %d threads\n",
                early.private_mb, late.private_mb, early.committed_private_mb, late.committed_private_mb, threads);
    std::printf("  tolvarn.exe: of those, regions of about 1 MiB and more (thread stacks, per-thread areas) %.2f MB;"
                " the rest (heaps, data) %.2f MB\n",
                late.large_regions_mb, late.committed_private_mb - late.large_regions_mb);
    const double above = late.committed_private_mb - minimal.committed_private_mb;
    std::printf("  baseline sleeper.exe (a program that only sleeps): committed private regions %.2f MB;"
                " tolvarn.exe above it: %.2f MB  (goal <= 2 MB: %s)\n",
                minimal.committed_private_mb, above, above <= 2.0 ? "met" : "missed");
    std::printf("  tolvarn.exe: working set %.2f MB, pagefile usage %.2f MB at the end; handles %s\n", late.working_set_mb,
                late.pagefile_mb, have_handles ? std::to_string(handles_late).c_str() : "(GetProcessHandleCount failed)");
    std::printf("  tolvarn.exe: CPU %.3f s over %.0f s (%.2f%%), %d programs reported missing\n", cpu_late,
                elapsed, 100.0 * (cpu_late - cpu_early) / (elapsed - 2), checks_logged);
    std::printf("  tolvarn.exe: %.2f MB on disk  (goal <= 2 MB: %s)\n", exe_size / 1048576.0,
                exe_size <= 2 * 1048576 ? "met" : "missed");
    std::printf("  slow timer thread, stack reservation %lu KiB: a check uses %.1f KiB, the e-mail step %.1f KiB\n",
                static_cast<unsigned long>(cl::slow_timer().stack_reserve() / 1024), check_stack / 1024.0,
                mail_stack / 1024.0);
    return 0;
}
