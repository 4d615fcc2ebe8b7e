// Detection latency of the real tolvarn.exe: a watched program (a copy of sleeper.exe) with
// interval=1 and a call line that starts it again is ended N times (default 50), at varying points
// of the check period. For each end it measures
//   - detection: from the end (local time taken right before TerminateProcess) to the time stamp
//     of the "Program ... is no longer running." line (the line's own stamp: the log reaches the
//     disk about one second later); goal at most interval + 100 ms;
//   - restart: from that line's stamp to the creation time of the new process
//     (GetProcessTimes); goal at most 50 ms.
//
// With "stall" (built with the tests: it needs the CDO stand-in), a second section that never runs
// sends an e-mail at every check; the ends are measured twice in the same run: with Send answering
// at once (the baseline), then with the stand-in holding every Send for 30 s. The goal is the same
// for both: the e-mails go out on a worker of their own and never hold a check.
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

// Ends the watched program `ends` times; adds each measured detection and restart; answers how
// many ends could not be measured. `current` is the watched program's process.
int measure(const bench::watchdog_run& run, int ends, DWORD& current, std::vector<double>& detection,
            std::vector<double>& restart) {
    static unsigned seed = 12345;
    int failures = 0;
    for (int i = 0; i < ends; ++i) {
        // The end falls anywhere in the second-long period.
        seed = seed * 1103515245u + 12345u;
        ::Sleep(150 + (seed >> 16) % 700);
        const std::size_t lines_before = detection_stamps(run).size();

        HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, current);
        if (!h) {
            ++failures;
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
            ++failures;
            current = next;
            continue;
        }
        const long long line_ms = stamps[lines_before];
        detection.push_back(static_cast<double>(bench::ms_between(end_ms, line_ms)));
        restart.push_back(static_cast<double>(bench::ms_between(line_ms, created_ms)));
        current = next;
    }
    return failures;
}

void report(const char* what, int ends, int failures, const std::vector<double>& detection,
            const std::vector<double>& restart) {
    std::printf("detection latency of tolvarn.exe, interval=1, %s, %d ends (%d not measured)\n", what, ends, failures);
    std::printf("  end -> \"no longer running\" line   median %6.0f ms  max %6.0f ms  (goal <= 1100 ms)\n",
                bench::median(detection), bench::maximum(detection));
    std::printf("  line -> restarted process         median %6.0f ms  max %6.0f ms  (goal <= 50 ms)\n",
                bench::median(restart), bench::maximum(restart));
}

}  // namespace

int main(int argc, char** argv) {
    const int ends = argc > 1 ? std::atoi(argv[1]) : 50;
    const bool stall = argc > 2 && std::string(argv[2]) == "stall";
    bench::watchdog_run run;
    if (!run.ok() || !run.copy(L"sleeper.exe", watched)) {
        std::printf("cannot prepare the folder (tolvarn.exe and sleeper.exe must be beside this program)\n");
        return 1;
    }
    std::string mail_section;
    if (stall) {
#ifdef TOLVARN_BENCH_STALL
        if (cdo_register_dll() != ERROR_SUCCESS || !cdo_configure_dll((run.dir() + L"record.txt").c_str(), L"", 0)) {
            std::printf("cannot register the CDO stand-in (cdo_stand_in.dll must be beside this program)\n");
            return 1;
        }
        mail_section = "[lat_never_there.exe]\r\ninterval=1\r\nmail_from=w@example.org\r\nmail_to=o@example.org\r\n";
#else
        std::printf("\"stall\" needs the build with the tests (the CDO stand-in)\n");
        return 1;
#endif
    }
    run.write_ini("[tolvarn]\r\n\r\n[lat_sleeper.exe]\r\ninterval=1\r\ncall=\"" + bench::utf8(run.dir()) +
                  "lat_sleeper.exe\"\r\n" + mail_section);
    if (!run.start_watchdog()) return 1;
    // The first check finds the program missing and starts it.
    DWORD current = wait_for_new_process(0, 30000);
    if (!current) {
        std::printf("the watchdog did not start the watched program\n");
        return 1;
    }

    // That first line reaches the file about a second later: the ends below must not count it.
    for (DWORD waited = 0; detection_stamps(run).empty() && waited < 10000; waited += 20) ::Sleep(20);

    std::vector<double> detection, restart;
    int failures = measure(run, ends, current, detection, restart);
    report(stall ? "e-mail at every check, Send at once" : "no e-mail", ends, failures, detection, restart);
#ifdef TOLVARN_BENCH_STALL
    if (stall) {
        // From the next message on, every Send is held 30 s: the worker stays busy for the whole phase.
        const std::wstring record = run.dir() + L"record.txt";
        const auto count = [&](const std::string& what) {
            const std::string text = bench::read_file(record);
            std::size_t n = 0;
            for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
            return n;
        };
        cdo_configure_dll(record.c_str(), L"", 30000);
        ::Sleep(2000);
        const std::size_t held_before = count("msg Send\n"), done_before = count("msg Send done\n");
        std::vector<double> stalled_detection, stalled_restart;
        const int stalled_failures = measure(run, ends, current, stalled_detection, stalled_restart);
        report("e-mail at every check, Send held 30 s", ends, stalled_failures, stalled_detection, stalled_restart);
        std::printf("  sends started / ended during the phase: %zu / %zu (without the stall: about one each a second)\n",
                    count("msg Send\n") - held_before, count("msg Send done\n") - done_before);
        failures += stalled_failures;
    }
#endif
    run.stop();
#ifdef TOLVARN_BENCH_STALL
    if (stall) cdo_configure_dll(nullptr, L"", 0), cdo_unregister_dll();  // the record goes with the folder
#endif
    return failures == 0 ? 0 : 2;
}
