// Shared pieces of the bad-input campaigns: a deterministic generator whose seed goes into every
// failure message, and the number of cases (scaled by TOLVARN_FUZZ_SCALE for longer runs).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

// xorshift64*: small, fast, the same sequence on every platform for a seed.
class rng {
public:
    explicit rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // 0 .. n-1 (n > 0).
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

// `base` cases, times TOLVARN_FUZZ_SCALE when that is set to a number above 1.
inline int cases(int base) {
    const char* value = std::getenv("TOLVARN_FUZZ_SCALE");
    const int scale = value ? std::atoi(value) : 1;
    return scale > 1 ? base * scale : base;
}

inline std::string seed_text(std::uint64_t seed) { return "seed " + std::to_string(seed); }

}  // namespace fuzz
