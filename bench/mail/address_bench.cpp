// Times check_address_list on typical and worst-case header values of 80, 200 and 1,000 characters
// (goal: under 10 ms per call at 1,000 characters), and, on short values where the literal
// pattern is still usable, the ratio between that pattern and the one in use.
//
// Usage: address_bench [milliseconds per measurement, default 40]
#include "mail/address_list.h"

#include "tests/mail/address_reference.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

volatile int g_sink;  // keeps the answers alive

double now_seconds()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds per call: calls are repeated until a round lasts `budget` seconds; the best of five
// rounds counts (the machine is shared, a busy spell only ever makes a round slower).
template <class F>
double per_call(F call, double budget)
{
    double best = 1e30;
    for (int round = 0; round < 5; ++round)
    {
        long calls = 0;
        const double start = now_seconds();
        double elapsed = 0;
        do
        {
            g_sink = g_sink + call();
            ++calls;
            elapsed = now_seconds() - start;
        } while (elapsed < budget);
        best = std::min(best, elapsed / static_cast<double>(calls));
    }
    return best;
}

int reference(const std::wstring& value)
{
    return address_reference::match(value);
}

std::wstring repeat_to(size_t length, const std::wstring& prefix, const std::wstring& unit,
                       const std::wstring& suffix)
{
    std::wstring value = prefix;
    while (value.size() + suffix.size() < length) value += unit;
    value.resize(length - suffix.size());
    return value + suffix;
}

struct shape
{
    const char* name;
    std::wstring prefix, unit, suffix;
};

}  // namespace

int main(int argc, char** argv)
{
    const double budget = (argc > 1 ? std::atof(argv[1]) : 40.0) / 1000.0;

    {
        const double start = now_seconds();
        g_sink = check_address_list(L"ops@example.com");
        std::printf("first call, building the pattern: %.2f ms\n\n", (now_seconds() - start) * 1000.0);
    }

    const shape shapes[] = {
        {"typical list (names and addresses)", L"", L"Operations Team <ops@example.com>, dev.team@example.com, ", L"x@example.com"},
        {"typical list, bad last character", L"", L"Operations Team <ops@example.com>, dev.team@example.com, ", L"x@example.com>"},
        {"typical group", L"Team: ", L"Ops <ops@example.com>, dev@example.com, ", L"x@example.com;"},
        {"letters, no \"@\"", L"", L"a", L""},
        {"\"a.a.a.\", no \"@\"", L"", L"a.", L""},
        {"quoted strings and spaces", L"", L"\"a\" ", L""},
        {"\"a <\" repeated", L"", L"a <", L""},
        {"\"a@\" then commas", L"a@", L",", L"@"},
        {"bare addresses, commas in runs", L"", L"a,a@b,", L"@"},
        {"bare addresses then name, bad end", L"", L"a@b, ,c <d@e>, ", L"x@"},
        {"escaped quotes", L"", L"\"a\\\"@b,", L"\\"},
        {"backslashes in a quoted string", L"\"", L"\\\\\\\"", L""},
        {"group, bad end", L"G: ", L"a@b.c, x <y@z>, ", L"q@r"},
    };
    const size_t lengths[] = {80, 200, 1000};

    std::printf("%-38s %12s %12s %12s\n", "check_address_list, time per call", "80 chars", "200 chars", "1000 chars");
    double slowest = 0;
    const char* slowest_name = "";
    for (const shape& s : shapes)
    {
        std::printf("%-38s", s.name);
        for (size_t length : lengths)
        {
            const std::wstring value = repeat_to(length, s.prefix, s.unit, s.suffix);
            const double t = per_call([&] { return check_address_list(value); }, budget);
            std::printf(" %9.1f us", t * 1e6);
            if (length == 1000 && t > slowest)
            {
                slowest = t;
                slowest_name = s.name;
            }
        }
        std::printf("\n");
    }
    std::printf("\nslowest at 1000 characters: %.3f ms (%s); goal < 10 ms: %s\n\n", slowest * 1000.0,
                slowest_name, slowest < 0.010 ? "met" : "NOT MET");

    // The literal pattern on values short enough for it. Its time doubles with every letter of a
    // run outside an address; at 80 letters it ran 15 seconds and then gave up.
    std::printf("%-38s %12s %12s %8s\n", "short values", "literal", "in use", "ratio");
    std::vector<std::wstring> shorts = {
        L"ops@example.com",
        L"Operations Team <ops@example.com>",
        L"ops@example.com, dev@example.com",
        L"Team: ops@example.com, Dev <dev@example.com>;",
        L"Ops <@relay.example.com:ops@example.com>",
    };
    const size_t letter_runs[] = {8, 12, 16, 20};
    for (size_t letters : letter_runs) shorts.push_back(std::wstring(letters, L'a'));
    for (const std::wstring& value : shorts)
    {
        const double literal = per_call([&] { return reference(value); }, budget);
        const double in_use = per_call([&] { return check_address_list(value); }, budget);
        std::string name;
        for (wchar_t ch : value) name += static_cast<char>(ch);  // the values are ASCII
        if (name.size() > 36) name = name.substr(0, 33) + "...";
        std::printf("%-38s %9.1f us %9.1f us %7.1fx\n", name.c_str(), literal * 1e6, in_use * 1e6, literal / in_use);
    }
    return 0;
}
