#include "cl/file/temp_file.h"

#include "cl/file/file_hnd.h"

#include <windows.h>

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#include <intrin.h>
#define CL_FILE_HAS_TSC 1
#endif

#include <cstdint>

namespace cl {

namespace {

constexpr uint64_t m1 = 714025;
constexpr uint64_t m2 = 312500;
constexpr int max_attempts = 10000;

uint32_t mix(uint32_t h, uint64_t value) {
    // One multiply-xorshift step per 32-bit half, so that every input bit reaches every seed bit.
    for (int half = 0; half < 2; ++half) {
        h ^= static_cast<uint32_t>(value >> (32 * half));
        h *= 0x9E3779B1u;
        h ^= h >> 15;
    }
    return h;
}

uint32_t start_seed() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    uint32_t s = 0x2545F491u;
    s = mix(s, (static_cast<uint64_t>(st.wYear) << 48) | (static_cast<uint64_t>(st.wMonth) << 40) |
                   (static_cast<uint64_t>(st.wDay) << 32) | (static_cast<uint64_t>(st.wHour) << 24) |
                   (static_cast<uint64_t>(st.wMinute) << 16) | (static_cast<uint64_t>(st.wSecond) << 10) |
                   st.wMilliseconds);
    s = mix(s, ::GetTickCount());
    s = mix(s, ::GetCurrentProcessId());
    LARGE_INTEGER pc;
    if (::QueryPerformanceCounter(&pc)) s = mix(s, static_cast<uint64_t>(pc.QuadPart));
#ifdef CL_FILE_HAS_TSC
    s = mix(s, __rdtsc());
#endif
    return s;
}

// The two generators behind make_temp_name; process-wide and deliberately unguarded.
struct name_generators {
    uint64_t x1;
    uint64_t x2;
    name_generators() {
        const uint32_t s = start_seed();
        x1 = s % m1;
        x2 = (s / m1) % m2;
    }
};

name_generators g_generators;

}  // namespace

std::wstring make_temp_name(const std::wstring& prefix) {
    g_generators.x1 = (g_generators.x1 * 4096 + 150889) % m1;
    g_generators.x2 = (g_generators.x2 * 741 + 66037) % m2;
    uint64_t n = g_generators.x1 * m2 + g_generators.x2;

    static const wchar_t digits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";
    wchar_t text[16];
    wchar_t* p = text + 16;
    do {
        *--p = digits[n % 36];
        n /= 36;
    } while (n != 0);
    return prefix + std::wstring(p, text + 16) + L".tmp";
}

bool create_temp_file(file_hnd& file, const std::wstring& prefix, unsigned flags, std::wstring* name) {
    for (int attempt = 0; attempt < max_attempts; ++attempt) {
        const std::wstring candidate = make_temp_name(prefix);
        if (file.open(candidate, flags | o_short_lived | o_excl | o_creat | o_temporary, sh_denyrw)) {
            if (name) *name = candidate;
            return true;
        }
        if (file.last_error() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

}  // namespace cl
