// Check cost: one check_program of a program that is running (this benchmark itself, so nothing is
// logged) against a bare Tool Help walk (snapshot, Process32FirstW/NextW over every process,
// close), the same number of times in the same run. Goal: at most 1.10 times the bare walk.
//
// Usage: check_bench [calls per round, default 2000] [rounds, default 7]
#include "bench/bench_util.h"
#include "core/app_config.h"
#include "core/watch_cycle.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

namespace {

volatile unsigned long g_sink;

void bare_walk() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    unsigned long n = 0;
    for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry)) ++n;
    ::CloseHandle(snapshot);
    g_sink = g_sink + n;
}

unsigned long process_count() {
    g_sink = 0;
    bare_walk();
    return g_sink;
}

template <class F>
double round_time(int calls, F f) {
    const double t0 = bench::now_seconds();
    for (int i = 0; i < calls; ++i) f();
    return bench::now_seconds() - t0;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;

    tolvarn::watch_entry entry;
    const std::wstring self = bench::program_dir();
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    entry.name = std::wstring(path).substr(self.size());
    // A different letter case still matches: the comparison runs over the whole name.
    for (wchar_t& c : entry.name)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');

    // The snapshot costs milliseconds under Wine and the machine is shared: the two sides alternate
    // call by call, so that a busy spell hits both alike, and the best round of each counts.
    double check = 1e30, walk = 1e30;
    for (int round = 0; round < rounds; ++round) {
        double t_walk = 0, t_check = 0;
        for (int i = 0; i < calls; ++i) {
            t_walk += round_time(1, bare_walk);
            t_check += round_time(1, [&] { tolvarn::check_program(entry); });
        }
        walk = std::min(walk, t_walk);
        check = std::min(check, t_check);
    }
    std::printf("check cost, %d calls, best of %d rounds, %lu processes in the snapshot\n", calls, rounds,
                process_count());
    std::printf("  bare Tool Help walk          %8.1f us/call\n", 1e6 * walk / calls);
    std::printf("  check_program (running)      %8.1f us/call\n", 1e6 * check / calls);
    std::printf("  ratio check / walk: %.3f  (goal <= 1.10)\n", check / walk);
    return 0;
}
