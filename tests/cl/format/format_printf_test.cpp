// Where the engine and the C runtime's printf agree (d u x X o with the flags, widths and positive
// precisions both read the same way), generated placeholders must give the same text.
#include "cl/format/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Deterministic generator (xorshift64*), so a failure can be replayed.
class generator {
public:
    explicit generator(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }

private:
    std::uint64_t state_;
};

std::uint64_t pick_value(generator& g) {
    static const std::uint64_t special[] = {0, 1, 7, 8, 9, 10, 15, 16, 255, 1000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                            0x100000000ull, 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, ~0ull};
    switch (g.below(4)) {
    case 0: return special[g.below(sizeof special / sizeof special[0])];
    case 1: return 0 - g.next() % 100000;  // small negative
    default: return g.next() >> g.below(64);
    }
}

std::string make_format(generator& g, char conv, bool wide_int) {
    const char* flags = conv == 'd' ? "-+ 0" : (conv == 'x' || conv == 'o') ? "-0#" : "-0";
    const bool precision = g.below(2) != 0;
    std::string placeholder = "<%";
    for (const char* f = flags; *f; ++f) {
        // printf's '#' with 'o' raises the precision to show a leading 0; the engine adds a prefix
        // in front of the precision's zeros instead, so the two differ only there.
        if (*f == '#' && conv == 'o' && precision) continue;
        if (g.below(3) == 0) placeholder += *f;
    }
    if (g.below(2)) placeholder += std::to_string(1 + g.below(30));
    if (precision) placeholder += "." + std::to_string(1 + g.below(30));
    if (wide_int) placeholder += "ll";
    placeholder += conv;
    placeholder += '>';
    return placeholder;
}

std::wstring ascii_wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(format_printf, generated_placeholders_match_snprintf) {
    generator g(0x70C0FFEEull);
    const char convs[] = {'d', 'u', 'x', 'X', 'o'};
    int mismatches = 0;
    for (int i = 0; i < 30000 && mismatches < 10; ++i) {
        const char conv = convs[g.below(5)];
        const bool wide_int = g.below(2) != 0;
        const std::string fmt = make_format(g, conv, wide_int);
        const std::uint64_t raw = pick_value(g);
        const std::size_t size = 1 + g.below(48);  // for the fixed-buffer sink

        char expected[128];
        std::string got;
        std::wstring got_wide;
        char fixed[64];
        std::memset(fixed, 'Z', sizeof fixed);
        if (wide_int && conv == 'd') {
            const long long v = static_cast<long long>(raw);
            std::snprintf(expected, sizeof expected, fmt.c_str(), v);
            got = (cl::format(fmt.c_str()) % v).str();
            got_wide = (cl::wformat(ascii_wide(fmt).c_str()) % v).str();
            cl::basic_sformat(fixed, size, fmt.c_str()) % v;
        } else if (wide_int) {
            const unsigned long long v = raw;
            std::snprintf(expected, sizeof expected, fmt.c_str(), v);
            got = (cl::format(fmt.c_str()) % v).str();
            got_wide = (cl::wformat(ascii_wide(fmt).c_str()) % v).str();
            cl::basic_sformat(fixed, size, fmt.c_str()) % v;
        } else if (conv == 'd') {
            const int v = static_cast<int>(static_cast<std::uint32_t>(raw));
            std::snprintf(expected, sizeof expected, fmt.c_str(), v);
            got = (cl::format(fmt.c_str()) % v).str();
            got_wide = (cl::wformat(ascii_wide(fmt).c_str()) % v).str();
            cl::basic_sformat(fixed, size, fmt.c_str()) % v;
        } else {
            const unsigned v = static_cast<std::uint32_t>(raw);
            std::snprintf(expected, sizeof expected, fmt.c_str(), v);
            got = (cl::format(fmt.c_str()) % v).str();
            got_wide = (cl::wformat(ascii_wide(fmt).c_str()) % v).str();
            cl::basic_sformat(fixed, size, fmt.c_str()) % v;
        }
        const std::string truncated = std::string(expected).substr(0, size - 1);
        const bool ok = got == expected && got_wide == ascii_wide(expected) && truncated == fixed &&
                        fixed[size] == 'Z';
        if (!ok) {
            ++mismatches;
            ADD_FAILURE() << "case " << i << ": format " << fmt << " value " << raw << " size " << size
                          << "\n  snprintf: " << expected << "\n  engine:   " << got << "\n  fixed:    " << fixed;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
