// Bad input for the format engine: 100,000 random format strings (placeholders with every flag,
// width and precision form, length modifier and conversion letter, unknown letters, lone "%" at
// the end, "*" fed by arguments of every type) with random arguments, through every sink:
// cl::format, cl::wformat, cl::basic_sformat into a buffer followed by a guard zone that must stay
// untouched, and cl::basic_strformat appending to a string. For ASCII input the four must agree:
// the wide text is the narrow one widened, the fixed buffer holds the text cut to its size, the
// appended string the text behind what was there. Every text stays within a bound set by the
// format's length and the arguments. Each case has its own seed, printed on failure;
// TOLVARN_FUZZ_SCALE multiplies the number of cases.
#include "cl/format/format.h"
#include "fuzz_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// One argument, fed the same way to every sink.
struct argument {
    enum kind_type { i32, u32, i64, u64, i16, u16, ch, boolean, text, wtext, str, wstr, null_text, small_pointer };
    kind_type kind;
    long long number = 0;
    std::string s;
    std::wstring ws;
};

template <class F>
void feed(F& f, const argument& a) {
    switch (a.kind) {
    case argument::i32: f % static_cast<int>(a.number); break;
    case argument::u32: f % static_cast<unsigned>(a.number); break;
    case argument::i64: f % static_cast<long long>(a.number); break;
    case argument::u64: f % static_cast<unsigned long long>(a.number); break;
    case argument::i16: f % static_cast<short>(a.number); break;
    case argument::u16: f % static_cast<unsigned short>(a.number); break;
    case argument::ch: f % static_cast<char>(a.number); break;
    case argument::boolean: f % (a.number != 0); break;
    case argument::text: f % a.s.c_str(); break;
    case argument::wtext: f % a.ws.c_str(); break;
    case argument::str: f % a.s; break;
    case argument::wstr: f % a.ws; break;
    case argument::null_text: f % static_cast<const char*>(nullptr); break;
    case argument::small_pointer: f % reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(a.number)); break;
    }
}

std::string random_format(fuzz::rng& r, bool ascii) {
    static const char flags[] = "-+ #',0";
    static const char letters[] = "??????duxXopczZmsSiI%qw";
    static const char* const lengths[] = {"", "", "", "h", "l", "L", "ll", "I64", "hh", "I"};
    std::string f;
    const std::size_t parts = r.below(12);
    for (std::size_t p = 0; p < parts; ++p) {
        if (r.chance(40)) {  // literal text
            for (std::size_t n = r.below(12); n > 0; --n)
                f += static_cast<char>(ascii || r.chance(90) ? 0x20 + r.below(95) : 0x80 + r.below(128));
            continue;
        }
        f += '%';
        for (std::size_t n = r.below(4); n > 0; --n) f += flags[r.below(sizeof flags - 1)];
        if (r.chance(40)) f += r.chance(20) ? std::string("*") : std::to_string(r.below(r.chance(10) ? 100000 : 40));
        if (r.chance(30)) {
            f += '.';
            if (r.chance(80)) f += r.chance(20) ? std::string("*") : std::to_string(r.below(r.chance(10) ? 100000 : 40));
        }
        f += lengths[r.below(10)];
        if (r.chance(95)) f += letters[r.below(sizeof letters - 1)];
    }
    if (r.chance(10)) f += '%';
    return f;
}

argument random_argument(fuzz::rng& r, bool ascii) {
    argument a;
    a.kind = static_cast<argument::kind_type>(r.below(14));
    const int shape = static_cast<int>(r.below(4));
    a.number = shape == 0 ? static_cast<long long>(r.below(20)) - 10
             : shape == 1 ? static_cast<long long>(r.next())
             : shape == 2 ? (r.chance(50) ? 0x7FFFFFFFFFFFFFFFll : -0x7FFFFFFFFFFFFFFFll - 1)
                          : static_cast<long long>(static_cast<int>(r.next()));
    if (a.kind == argument::small_pointer) a.number = static_cast<long long>(r.below(4096));
    const std::size_t n = r.below(r.chance(5) ? 2000 : 20);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned c = ascii || r.chance(80) ? 0x20 + static_cast<unsigned>(r.below(95))
                                                 : 0x80 + static_cast<unsigned>(r.below(0xFF80));  // surrogates too
        a.s += static_cast<char>(ascii ? c : (c & 0xFF ? c & 0xFF : '?'));
        a.ws += static_cast<wchar_t>(c);
    }
    return a;
}

// Generous but finite: the format's own characters, each argument's text, and at most 127 of
// width and precision plus sign, prefix and 64 binary digits per placeholder.
std::size_t bound(const std::string& fmt, const std::vector<argument>& args) {
    std::size_t b = fmt.size() * 2 + 16;
    for (const argument& a : args) b += a.s.size() * 2 + a.ws.size() * 2 + 300;
    return b + 300 * (1 + std::count(fmt.begin(), fmt.end(), '%'));
}

TEST(format_fuzz, random_formats_and_arguments_through_every_sink) {
    const int total = fuzz::cases(100000);
    constexpr std::size_t guard = 64;
    std::vector<char> buffer;
    for (int i = 0; i < total; ++i) {
        const std::uint64_t seed = 0xF0A7u * 1000003u + static_cast<std::uint64_t>(i);
        fuzz::rng r(seed);
        const bool ascii = r.chance(70);
        const std::string fmt = random_format(r, ascii);
        const std::wstring wfmt(fmt.begin(), fmt.end());  // bytes as code units: ASCII stays ASCII
        std::vector<argument> args;
        for (std::size_t n = r.below(8); n > 0; --n) args.push_back(random_argument(r, ascii));
        const std::size_t size = r.below(5) == 0 ? r.below(4) : r.below(300);  // 0, 1 and tiny buffers too
        SCOPED_TRACE(fuzz::seed_text(seed) + " format \"" + fmt + "\"");

        cl::format narrow(fmt.c_str());
        for (const argument& a : args) feed(narrow, a);
        const std::string n_text = narrow.str();

        cl::wformat wide(wfmt.c_str());
        for (const argument& a : args) feed(wide, a);
        const std::wstring w_text = wide.str();

        buffer.assign(size + guard, '\x5A');
        {
            cl::basic_sformat s(size ? buffer.data() : nullptr, size, fmt.c_str());
            for (const argument& a : args) feed(s, a);
        }
        for (std::size_t g = size; g < size + guard; ++g) ASSERT_EQ(buffer[g], '\x5A') << "guard byte " << g - size << " changed";

        std::string appended = "head:";
        {
            cl::basic_strformat sf(appended);
            sf(fmt.c_str());
            for (const argument& a : args) feed(sf, a);
        }

        // %c shows an integer as a character, which differs between the widths beyond ASCII: the
        // texts are compared only for formats without the letter.
        const bool compare = ascii && fmt.find('c') == std::string::npos;
        const std::size_t limit = bound(fmt, args);
        ASSERT_LE(n_text.size(), limit);
        ASSERT_LE(w_text.size(), limit);
        ASSERT_LE(appended.size(), limit + 5);
        if (size > 0) {
            const std::size_t kept = ::strnlen(buffer.data(), size);
            ASSERT_LT(kept, size) << "the fixed buffer is not terminated";
            if (compare) {
                // Texts may hold NUL characters (%c of 0): compare what is there, up to the first one.
                ASSERT_EQ(std::string(buffer.data(), kept), n_text.substr(0, std::min(kept, size - 1)));
                ASSERT_EQ(kept, std::min(std::strlen(n_text.c_str()), size - 1));
            }
        }
        if (compare) {
            ASSERT_EQ(appended, "head:" + n_text);
            ASSERT_EQ(w_text.size(), n_text.size());
            for (std::size_t k = 0; k < n_text.size(); ++k)
                ASSERT_EQ(static_cast<unsigned>(w_text[k]), static_cast<unsigned char>(n_text[k])) << "at " << k;
        }
    }
}

}  // namespace
