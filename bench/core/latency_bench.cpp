// Detection latency of the real tolvarn.exe: a watched program (a copy of sleeper.exe) with a call
// line that starts it again is ended N times (default 50), at varying points of the check period,
// in two modes measured in the same run: the periodic check with interval=1, and exit detection
// (watch_exit=1) with interval=10. For each end it measures
//   - detection: from the end (local time taken right before TerminateProcess) to the time stamp
//     of the "Program ... is no longer running." line (the line's own stamp: the log reaches the
//     disk about one second later); goal at most interval + 100 ms periodically, and with exit
//     detection a median of at most 100 ms and a maximum of at most 250 ms;
//   - restart: from that line's stamp to the creation time of the new process
//     (GetProcessTimes); goal at most 50 ms.
//
// With "stall" (built with the tests: it needs the CDO stand-in), the periodic mode instead runs
// with a second section that never runs and sends an e-mail at every check, measured twice in the
// same run: with Send answering at once (the baseline), then with the stand-in holding every Send
// for 30 s. The goal is the same for both: the e-mails go out on a worker of their own and never
// hold a check.
//
// Usage: latency_bench [ends, default 50] [stall]
#include "bench/bench_util.h"
#include "bench/core/watchdog_run.h"
#ifdef TOLVARN_BENCH_STALL
#include "cdo_stand_in.h"
#endif

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::wstring watched = L"lat_sleeper.exe";
const std::string missing_line = "Program lat_sleeper.exe is no longer running.";

// Stamps of the "no longer running" lines in log order.
std::vector<long long> detection_stamps(const bench::watchdog_run& run) {
    std::vector<long long> stamps;
    for (const std::string& line : run.log_lines())
        if (line.size() > 11 && line.compare(11, std::string::npos, missing_line) == 0) stamps.push_back(bench::stamp_ms(line));
    return stamps;
}

// Waits up to `timeout_ms` for a process named `watched` other than `old_id`; answers its id or 0.
DWORD wait_for_new_process(DWORD old_id, DWORD timeout_ms) {
    const DWORD start = ::GetTickCount();
    do {
        for (DWORD id : bench::find_processes(watched))
            if (id != old_id) return id;
        ::Sleep(1);
    } while (::GetTickCount() - start < timeout_ms);
    return 0;
}

struct figures {
    std::vector<double> detection, restart;
    int failures = 0;
};

// One watchdog with the watched program's section `keys` and the sections `more`, its program ended
// `ends` times; `ready` runs once the program was first started, before the ends, `done` after them.
using run_hook = std::function<void(const bench::watchdog_run&)>;
bool measure(const std::string& keys, int ends, figures& out, const std::string& more = "",
             const run_hook& ready = nullptr, const run_hook& done = nullptr) {
    bench::watchdog_run run;
    if (!run.ok() || !run.copy(L"sleeper.exe", watched)) {
        std::printf("cannot prepare the folder (tolvarn.exe and sleeper.exe must be beside this program)\n");
        return false;
    }
    run.write_ini("[tolvarn]\r\n\r\n[lat_sleeper.exe]\r\n" + keys + "call=\"" + bench::utf8(run.dir()) +
                  "lat_sleeper.exe\"\r\n" + more);
    if (!run.start_watchdog()) return false;
    // The first check finds the program missing and starts it.
    DWORD current = wait_for_new_process(0, 30000);
    if (!current) {
        std::printf("the watchdog did not start the watched program\n");
        return false;
    }
    // That first line reaches the file about a second later: the ends below must not count it.
    for (DWORD waited = 0; detection_stamps(run).empty() && waited < 10000; waited += 20) ::Sleep(20);
    if (ready) ready(run);

    unsigned seed = 12345;
    for (int i = 0; i < ends; ++i) {
        // The end falls anywhere in the second-long period.
        seed = seed * 1103515245u + 12345u;
        ::Sleep(150 + (seed >> 16) % 700);
        const std::size_t lines_before = detection_stamps(run).size();

        HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, current);
        if (!h) {
            ++out.failures;
            current = wait_for_new_process(current, 5000);
            continue;
        }
        FILETIME end_time;
        ::GetSystemTimeAsFileTime(&end_time);
        ::TerminateProcess(h, 1);
        ::WaitForSingleObject(h, 10000);
        ::CloseHandle(h);
        const long long end_ms = bench::local_ms_of_day(end_time);

        const DWORD next = wait_for_new_process(current, 10000);
        long long created_ms = -1;
        if (next) {
            HANDLE p = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, next);
            FILETIME created, exited, kernel, user;
            if (p && ::GetProcessTimes(p, &created, &exited, &kernel, &user)) created_ms = bench::local_ms_of_day(created);
            if (p) ::CloseHandle(p);
        }
        // The line reaches the file about a second after it was written.
        std::vector<long long> stamps;
        const DWORD wait_start = ::GetTickCount();
        while ((stamps = detection_stamps(run)).size() <= lines_before && ::GetTickCount() - wait_start < 10000) ::Sleep(20);
        if (!next || created_ms < 0 || stamps.size() <= lines_before) {
            ++out.failures;
            current = next;
            continue;
        }
        const long long line_ms = stamps[lines_before];
        out.detection.push_back(static_cast<double>(bench::ms_between(end_ms, line_ms)));
        out.restart.push_back(static_cast<double>(bench::ms_between(line_ms, created_ms)));
        current = next;
    }
    if (done) done(run);
    return true;
}

void print(const char* title, const figures& f, int ends, const char* goal) {
    std::printf("%s, %d ends (%d not measured)\n", title, ends, f.failures);
    std::printf("  end -> \"no longer running\" line   median %6.0f ms  max %6.0f ms  (goal %s)\n",
                bench::median(f.detection), bench::maximum(f.detection), goal);
    std::printf("  line -> restarted process         median %6.0f ms  max %6.0f ms  (goal <= 50 ms)\n",
                bench::median(f.restart), bench::maximum(f.restart));
}

}  // namespace

int main(int argc, char** argv) {
    const int ends = argc > 1 ? std::atoi(argv[1]) : 50;
    const bool stall = argc > 2 && std::string(argv[2]) == "stall";
    if (stall) {
#ifdef TOLVARN_BENCH_STALL
        if (cdo_register_dll() != ERROR_SUCCESS) {
            std::printf("cannot register the CDO stand-in (cdo_stand_in.dll must be beside this program)\n");
            return 1;
        }
        const std::string mailing = "[lat_never_there.exe]\r\ninterval=1\r\nmail_from=w@example.org\r\nmail_to=o@example.org\r\n";
        std::size_t started = 0, ended = 0;
        const auto sends = [](const bench::watchdog_run& run, const char* what) {
            const std::string text = bench::read_file(run.dir() + L"record.txt");
            std::size_t n = 0;
            for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++n;
            return n;
        };
        figures quick, held;
        const bool ok = measure("interval=1\r\n", ends, quick, mailing, [](const bench::watchdog_run& run) {
            cdo_configure_dll((run.dir() + L"record.txt").c_str(), L"", 0);
        }) && measure("interval=1\r\n", ends, held, mailing, [&](const bench::watchdog_run& run) {
            // From the next message on, every Send is held 30 s: the worker stays busy throughout.
            cdo_configure_dll((run.dir() + L"record.txt").c_str(), L"", 30000);
            ::Sleep(2000);
            started = sends(run, "msg Send\n"), ended = sends(run, "msg Send done\n");
        }, [&](const bench::watchdog_run& run) {
            started = sends(run, "msg Send\n") - started, ended = sends(run, "msg Send done\n") - ended;
        });
        cdo_configure_dll(nullptr, L"", 0), cdo_unregister_dll();
        if (!ok) return 1;
        print("detection latency of tolvarn.exe, interval=1, e-mail at every check, Send at once", quick, ends, "<= 1100 ms");
        print("detection latency of tolvarn.exe, interval=1, e-mail at every check, Send held 30 s", held, ends, "<= 1100 ms");
        std::printf("  sends started / ended during the held ends: %zu / %zu (a send at every check without the stall)\n", started, ended);
        return quick.failures == 0 && held.failures == 0 ? 0 : 2;
#else
        std::printf("\"stall\" needs the build with the tests (the CDO stand-in)\n");
        return 1;
#endif
    }
    figures periodic, exits;
    if (!measure("interval=1\r\n", ends, periodic) || !measure("interval=10\r\nwatch_exit=1\r\n", ends, exits)) return 1;
    print("detection latency of tolvarn.exe, periodic check, interval=1", periodic, ends, "<= 1100 ms");
    print("detection latency of tolvarn.exe, watch_exit=1, interval=10", exits, ends, "median <= 100 ms, max <= 250 ms");
    return periodic.failures == 0 && exits.failures == 0 ? 0 : 2;
}
