// Log throughput: N calls of cl::trace_write(&cl::g_trace_out, line) into the process's file trace
// (a typical 60-byte message), against spdlog's basic file sink (thread-safe variant, the same
// time-stamp prefix HHMMSS'mmm) writing the same lines in the same run. Each side ends with its
// own flush, so the time covers the text reaching the file. The lines in each file are counted
// afterwards: none may be lost.
//
// Usage: trace_bench [calls per round, default 1000000] [rounds, default 3]
// The rounds alternate between the two sides (the machine is shared) and the best one counts.
#include "bench/bench_util.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"

#ifdef TOLVARN_BENCH_SPDLOG
#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// 59 characters and the line feed: the length of a typical watchdog message.
const char message[] = "Program notepad.exe is no longer running. Calling restart.\n";
constexpr std::size_t message_length = sizeof message - 2;  // without the line feed

// Lines of `text` whose message part (behind "HHMMSS'mmm ") is the benchmark's message, and
// overflow marks, and lines that are something else (the start separator).
void count_lines(const std::string& text, long& matching, long& other, long& marks) {
    matching = other = marks = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::size_t stop = end;
        if (stop > pos && text[stop - 1] == '\r') --stop;
        const std::size_t length = stop - pos;
        if (length == 11 + message_length && text.compare(pos + 11, message_length, message, message_length) == 0 &&
            text[pos + 6] == '\'' && text[pos + 10] == ' ')
            ++matching;
        else if (length == 11 + 15 && text.compare(pos + 11, 15, "buffer overflow") == 0)
            ++marks;
        else
            ++other;
        pos = end + 1;
    }
}

struct round_result {
    double seconds = 1e30;
    long lines = 0;
    long other = 0;
    long marks = 0;  // "buffer overflow" lines: text dropped while the buffer was at its maximum
};

round_result run_trace(const std::wstring& path, long calls) {
    cl::g_file_trace.set_file_name(path);
    round_result r;
    const double t0 = bench::now_seconds();
    for (long i = 0; i < calls; ++i) cl::trace_write(&cl::g_trace_out, message);
    cl::trace_flush(&cl::g_trace_out);
    // A flush of the timer thread may be under way: wait until everything is on disk, the file closed.
    cl::g_file_trace.drain(60000);
    r.seconds = bench::now_seconds() - t0;
    count_lines(bench::read_file(path), r.lines, r.other, r.marks);
    return r;
}

#ifdef TOLVARN_BENCH_SPDLOG
round_result run_spdlog(const std::wstring& path, long calls) {
    round_result r;
    {
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(bench::utf8(path), true);
        spdlog::logger logger("bench", sink);
        logger.set_pattern("%H%M%S'%e %v", spdlog::pattern_time_type::local);
        const spdlog::string_view_t text(message, message_length);
        const double t0 = bench::now_seconds();
        for (long i = 0; i < calls; ++i) logger.log(spdlog::level::info, text);
        logger.flush();
        r.seconds = bench::now_seconds() - t0;
    }
    count_lines(bench::read_file(path), r.lines, r.other, r.marks);
    return r;
}
#endif

void keep_best(round_result& best, const round_result& r) {
    if (r.seconds < best.seconds) best.seconds = r.seconds;
    // Lines are judged on every round: a loss in any of them shows.
    if (best.lines == 0 || r.lines < best.lines) best.lines = r.lines;
    if (r.other > best.other) best.other = r.other;
    best.marks += r.marks;
}

}  // namespace

int main(int argc, char** argv) {
    const long calls = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::wstring dir = bench::make_temp_dir(L"trace");
    if (dir.empty()) {
        std::printf("cannot create a temporary folder\n");
        return 1;
    }

    // The start separator goes to the first file; afterwards only the benchmark's lines.
    round_result ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        const std::wstring our_path = dir + L"trace_" + std::to_wstring(round) + L".log";
        const round_result mine = run_trace(our_path, calls);
        if (mine.lines != calls)
            std::printf("  round %d: %ld of %ld lines in the file, %ld overflow marks, %ld other lines\n", round + 1, mine.lines,
                        calls, mine.marks, mine.other);
        keep_best(ours, mine);
        ::DeleteFileW(our_path.c_str());
#ifdef TOLVARN_BENCH_SPDLOG
        const std::wstring their_path = dir + L"spdlog_" + std::to_wstring(round) + L".log";
        keep_best(theirs, run_spdlog(their_path, calls));
        ::DeleteFileW(their_path.c_str());
#endif
    }
    cl::g_file_trace.set_file_name(L"");
    bench::remove_dir(dir);

    const double our_rate = calls / ours.seconds;
    std::printf("log throughput, %ld calls of %u bytes, best of %d rounds\n", calls,
                static_cast<unsigned>(message_length + 1), rounds);
    std::printf("  cl::trace_write -> file trace   %8.3f s  %10.0f lines/s  %6.0f ns/call  lines lost %ld (goal 0)  overflow marks %ld\n",
                ours.seconds, our_rate, 1e9 * ours.seconds / calls, calls - ours.lines, ours.marks);
#ifdef TOLVARN_BENCH_SPDLOG
    const double their_rate = calls / theirs.seconds;
    std::printf("  spdlog basic_file_sink_mt       %8.3f s  %10.0f lines/s  %6.0f ns/call  lines lost %ld\n",
                theirs.seconds, their_rate, 1e9 * theirs.seconds / calls, calls - theirs.lines);
    std::printf("  throughput ratio (file trace / spdlog): %.2f  (goal >= 1.00: %s)\n", our_rate / their_rate,
                our_rate >= their_rate ? "met" : "missed");
#else
    std::printf("  spdlog: not built (headers missing); no baseline\n");
#endif
    return ours.lines == calls ? 0 : 2;
}
