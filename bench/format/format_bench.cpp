// Formats the watchdog's typical log lines with the engine and with the C runtime's printf family,
// the same number of times in the same run, and prints the times and their ratio.
//
// Both sides produce an owned std::string / std::wstring: the engine through cl::format /
// cl::wformat and str(), the C runtime by printing into a stack buffer and constructing a string
// from it. A second C runtime figure without the string (buffer only) is shown for reference.
#include "cl/format/format.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

volatile std::size_t g_sink;  // keeps the results alive

double now_seconds() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Times one round of `iterations` calls.
template <class F>
double round_time(int iterations, F& body) {
    const double t0 = now_seconds();
    for (int i = 0; i < iterations; ++i) body(i);
    return now_seconds() - t0;
}

// The machine is shared: the rounds of the three contenders alternate, so that a busy spell hits
// all of them alike, and the best round of each counts.
template <class E, class S, class B>
void compare(int iterations, E engine, S crt_string, B crt_buffer, double& t_engine, double& t_string, double& t_buffer) {
    t_engine = t_string = t_buffer = 1e30;
    for (int round = 0; round < 11; ++round) {
        t_engine = std::min(t_engine, round_time(iterations, engine));
        t_string = std::min(t_string, round_time(iterations, crt_string));
        t_buffer = std::min(t_buffer, round_time(iterations, crt_buffer));
    }
}

struct result {
    const char* name;
    double engine, crt_string, crt_buffer;
};

void print(const result& r, int iterations) {
    const double ns = 1e9 / iterations;
    std::printf("%-34s engine %7.1f ns  crt+string %7.1f ns  crt buffer %7.1f ns  ratio %.2f (vs buffer %.2f)\n", r.name,
                r.engine * ns, r.crt_string * ns, r.crt_buffer * ns, r.engine / r.crt_string, r.engine / r.crt_buffer);
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 50000;
    const std::wstring program = L"notepad.exe";
    const std::wstring error_text = L"The system cannot find the file specified.";
    const unsigned codes[4] = {2, 5, 193, 1455};
    result results[5] = {};

    // 1. "Program %? is no longer running.\n" into a wide string.
    results[0].name = "wide: Program %? ...";
    compare(
        iterations,
        [&](int) { g_sink = g_sink + (cl::wformat(L"Program %? is no longer running.\n") % program).str().size(); },
        [&](int) {
            wchar_t buf[256];
            const int n = std::swprintf(buf, 256, L"Program %ls is no longer running.\n", program.c_str());
            g_sink = g_sink + std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0).size();
        },
        [&](int) {
            wchar_t buf[256];
            g_sink = g_sink + std::swprintf(buf, 256, L"Program %ls is no longer running.\n", program.c_str());
        },
        results[0].engine, results[0].crt_string, results[0].crt_buffer);

    // 2. "CreateProcess failed with error code %?: %?\n" into a wide string.
    results[1].name = "wide: CreateProcess failed ...";
    compare(
        iterations,
        [&](int i) {
            g_sink = g_sink +
                     (cl::wformat(L"CreateProcess failed with error code %?: %?\n") % codes[i & 3] % error_text).str().size();
        },
        [&](int i) {
            wchar_t buf[256];
            const int n =
                std::swprintf(buf, 256, L"CreateProcess failed with error code %u: %ls\n", codes[i & 3], error_text.c_str());
            g_sink = g_sink + std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0).size();
        },
        [&](int i) {
            wchar_t buf[256];
            g_sink = g_sink +
                     std::swprintf(buf, 256, L"CreateProcess failed with error code %u: %ls\n", codes[i & 3], error_text.c_str());
        },
        results[1].engine, results[1].crt_string, results[1].crt_buffer);

    // 3. The same lines into narrow strings: the wide texts are converted on the way.
    results[2].name = "narrow: Program %? ...";
    compare(
        iterations,
        [&](int) { g_sink = g_sink + (cl::format("Program %? is no longer running.\n") % program).str().size(); },
        [&](int) {
            char buf[256];
            const int n = std::snprintf(buf, 256, "Program %ls is no longer running.\n", program.c_str());
            g_sink = g_sink + std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0).size();
        },
        [&](int) {
            char buf[256];
            g_sink = g_sink + std::snprintf(buf, 256, "Program %ls is no longer running.\n", program.c_str());
        },
        results[2].engine, results[2].crt_string, results[2].crt_buffer);

    results[3].name = "narrow: CreateProcess failed ...";
    compare(
        iterations,
        [&](int i) {
            g_sink = g_sink +
                     (cl::format("CreateProcess failed with error code %?: %?\n") % codes[i & 3] % error_text).str().size();
        },
        [&](int i) {
            char buf[256];
            const int n =
                std::snprintf(buf, 256, "CreateProcess failed with error code %u: %ls\n", codes[i & 3], error_text.c_str());
            g_sink = g_sink + std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0).size();
        },
        [&](int i) {
            char buf[256];
            g_sink = g_sink +
                     std::snprintf(buf, 256, "CreateProcess failed with error code %u: %ls\n", codes[i & 3], error_text.c_str());
        },
        results[3].engine, results[3].crt_string, results[3].crt_buffer);

    // 4. The fixed-buffer sink against snprintf into a buffer: no allocation on either side.
    results[4].name = "buffer: CreateProcess failed ...";
    auto crt_buffer = [&](int i) {
        char buf[256];
        g_sink = g_sink +
                 std::snprintf(buf, 256, "CreateProcess failed with error code %u: %ls\n", codes[i & 3], error_text.c_str());
    };
    compare(
        iterations,
        [&](int i) {
            char buf[256];
            cl::basic_sformat(buf, sizeof buf, "CreateProcess failed with error code %?: %?\n") % codes[i & 3] % error_text;
            g_sink = g_sink + static_cast<unsigned char>(buf[40]);
        },
        crt_buffer, crt_buffer, results[4].engine, results[4].crt_string, results[4].crt_buffer);

    std::printf("format_bench: %d iterations per round, best of 11 alternating rounds\n", iterations);
    double worst = 0;
    for (const result& r : results) {
        print(r, iterations);
        worst = std::max(worst, r.engine / r.crt_string);
    }
    std::printf("worst ratio engine / C runtime (same output kind): %.2f (goal <= 1.00)\n", worst);
    return 0;
}
