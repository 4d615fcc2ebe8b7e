// The format engine's rules, one line each with the text written out, through three sinks that must agree;
// the part printf shares compared with snprintf on generated placeholders; cl::widen and cl::narrow.
#include "cl/format/convert.h"
#include "cl/format/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

std::wstring ascii_wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The narrow result; the wide and the fixed-buffer sink must give the same text (the rules are ASCII).
template <class... A>
std::string fmt(const char* f, const A&... a) {
    const std::string text = (cl::format(f) % ... % a).str();
    EXPECT_EQ((cl::wformat(ascii_wide(f).c_str()) % ... % a).str(), ascii_wide(text)) << f;
    char fixed[1024];
    { (cl::basic_sformat(fixed, sizeof fixed, f) % ... % a); }
    EXPECT_EQ(fixed, text) << f;
    return text;
}

std::string spaces(size_t n) { return std::string(n, ' '); }

TEST(Format, PlaceholdersArgumentsAndIntegers) {
    EXPECT_EQ(fmt("100%% a %u b %*?c%.*?%%"), "100% a  b c%");  // unfed placeholders write nothing
    EXPECT_EQ(fmt("%? and %?!", 1), "1 and !");
    EXPECT_EQ(fmt("x", 4294967295u, UINT64_MAX, "ab") + fmt("end %") + fmt("%", 5), "x-1-1abend 5");  // extra: appended
    EXPECT_EQ(fmt("%?|%?|%?|%?", -5, 4294967295u, INT64_MIN, UINT64_MAX), "-5|4294967295|-9223372036854775808|18446744073709551615");
    EXPECT_EQ(fmt("%i|%i|%d|%s|%k", -7, 7u, 4294967295u, -3, 5u), "-7|7|-1|-3|5");
    EXPECT_EQ(fmt("%u|%u|%x|%x", -1, int64_t(-1), -1, int64_t(-1)), "4294967295|18446744073709551615|ffffffff|ffffffffffffffff");
    EXPECT_EQ(fmt("%#x|%#o|%#X|%#o|%+x|%+u|% x|%+#06x", 0, 8, 255, 0, 255, 5u, 1, 255), "0|010|0xFF|0|+ff|+5| 1|+0x0ff");
    EXPECT_EQ(fmt("%p|%p|%p", 255, 0, uint64_t(0x1234567890)), "0xff|0|0x1234567890");
    EXPECT_EQ(fmt("%z|%Z|%Z|%z", 35, 36, 35, UINT64_MAX), "z|10|Z|3w5e11264sgsf");
    EXPECT_EQ(fmt("%m|%m|%m|%m|%m", 64, 0, 63, UINT32_MAX, UINT64_MAX), "BA|A|/|D/////|P//////////");
    EXPECT_EQ(fmt("%ld|%lld|%hu|%I64x|%Lu|%hlx|%I32d|%hhd", 1, 2, 3, 255, 5, 10, 5, 6), "1|2|3|ff|5|a|532d|6d");
    EXPECT_EQ(fmt("%5-d|%-05?|%00005?|%-0+5?|", 7, 42, 7, 7), "    7d|42   |00007|+7   |");
    EXPECT_EQ(fmt("%?|%?|%?|%?|%?|%?", short(-1), static_cast<unsigned char>(255), true, 'A', L'A', u'B'), "-1|255|1|65|65|66");
    enum class wide_enum : uint64_t { big = 1ull << 40 };
    EXPECT_EQ(fmt("%?|%x|%x", wide_enum::big, short(-1), -1L), "1099511627776|ffffffff|ffffffff");
}

TEST(Format, FixedPointGroupsAndStarArguments) {
    EXPECT_EQ(fmt("%,.2?|%,.2?|%,.2?|%,?|%,.0?", 1, 123, -5, 123, 123), "0.01|1.23|-0.05|123|123");
    EXPECT_EQ(fmt("%#,.3?|%#,.3?|%#,.3?|%#,.3?", 999, 0, 1500, 2000), "0.999|0|1.5|2");
    EXPECT_EQ(fmt("%,.2?|%+,.1?|%,8.2?|%-,8.2?|%',.2?", uint64_t(123456789012), 5, -5, -5, 123456),
              "1234567890.12|+0.5|   -0.05|-0.05   |1234.56");
    EXPECT_EQ(fmt("%'?|%'?|%'?|%'12?|%-'12?|", 1234567, 123, -1234, -1234567, 1234567), "1,234,567|123|-1,234|  -1,234,567|1,234,567   |");
    EXPECT_EQ(fmt("%'x|%'x|%'X|%'?|%'o", 0x12345678u, 0x1234u, UINT64_MAX, UINT64_MAX, 8u),
              "1234:5678|1234|FFFF:FFFF:FFFF:FFFF|18,446,744,073,709,551,615|10");
    EXPECT_EQ(fmt("%*?|%*?|%.*?|%.*?|%*.*?|", 5, 42, -5, 42, 3, 7, -1, 7, 6, 3, 7), "   42|42   |007|7|   007|");
    EXPECT_EQ(fmt("%*?|%.*?|%.*?|%*?", 259, 1, 2, "abcdef", 200, 1, "ab", 5), "  1|ab|1|ab5");  // low 8 bits; text skips a '*'
}

TEST(Format, CharactersAndText) {
    EXPECT_EQ(fmt("%c|[%c]|[%3c]|[%-3c]|[%03c]|[%.0c]", 'A', 0, 'x', 'x', 'x', 'x'), "A|[]|[  x]|[x  ]|[00x]|[]");
    EXPECT_EQ((cl::format("%c") % 0x141).str(), "A");  // the narrow sink keeps the low byte
    EXPECT_EQ(fmt("%.3?|%5?|%-5?|%05?|%-05?|%.0?|%?|%3?|", "abcdef", "ab", "ab", "ab", "ab", "abc", "", ""), "abc|   ab|ab   |000ab|ab   |||   |");
    EXPECT_EQ(fmt("%s|%.2s|%d|%?", std::string("text"), std::string("text"), "t", nullptr), "text|te|t|(null)");
    const char* null_text = nullptr;
    EXPECT_EQ(fmt("%?|%.3?|%8?|%-7?|", null_text, null_text, null_text, reinterpret_cast<const char*>(4095)), "(null)|(nu|  (null)|(null) |");
    EXPECT_EQ(fmt("%p|%x|%X", null_text, reinterpret_cast<const char*>(1), reinterpret_cast<const wchar_t*>(0xab0000)), "0|0x1|0xAB0000");
    EXPECT_EQ(fmt("%?|%.2?|%?|%.3?|%-6?|%06?", L"wide", L"wide", std::wstring(L"wide"), static_cast<const wchar_t*>(nullptr),
                  std::wstring(L"ab"), L"ab"),
              "wide|wi|wide|(nu|ab    |0000ab");
    EXPECT_EQ(fmt((std::string(450, 'L') + "%100?%-100?|%c").c_str(), 1, "x", 'y'),
              std::string(450, 'L') + spaces(99) + "1x" + spaces(99) + "|y");
    EXPECT_EQ(fmt("%?|%.100?", std::wstring(300, L'w'), std::wstring(300, L'w')), std::string(300, 'w') + "|" + std::string(100, 'w'));
}

TEST(Format, WidthsAndPrecisionsAreEightBitFieldsUpTo127) {
    EXPECT_EQ(fmt("%127?|%200?|%99999?|%256?|%258?|", 1, 1, 1, 1, 1), spaces(126) + "1|" + spaces(126) + "1|" + spaces(126) + "1|1| 1|");
    EXPECT_EQ(fmt("%-200?|%*?|%*?|", "x", -128, 1, 127, 1), "x" + spaces(126) + "|1" + spaces(126) + "|" + spaces(126) + "1|");
    EXPECT_EQ(fmt("%.200?|%.300?|%0200?", 1, 1, -1), std::string(126, '0') + "1|" + std::string(43, '0') + "1|-" + std::string(125, '0') + "1");
    EXPECT_EQ(fmt("%,.200?|%#,.200?|%.200?", UINT64_MAX, 1000, "short"),
              "0." + std::string(107, '0') + "18446744073709551615|0." + std::string(123, '0') + "1|short");
}

TEST(Format, OtherWidthTextIsConvertedByTheThreadCodePageAsTheSystemDoes) {
    const wchar_t wide[] = L"caf\u00e9 \u20ac e\u0301x";
    char expected[64] = {};
    ::WideCharToMultiByte(CP_THREAD_ACP, WC_COMPOSITECHECK, wide, -1, expected, sizeof expected, nullptr, nullptr);
    EXPECT_EQ((cl::format("[%?|%?]") % wide % std::wstring(wide)).str(), "[" + std::string(expected) + "|" + expected + "]");
    wchar_t back[64] = {};
    ::MultiByteToWideChar(CP_THREAD_ACP, MB_PRECOMPOSED, expected, -1, back, 64);
    EXPECT_EQ((cl::wformat(L"[%?|%.3?]") % std::string(expected) % expected).str(), L"[" + std::wstring(back) + L"|caf]");
}

TEST(Format, PrecisionBoundsTheScanOfUnterminatedTextThatEndsAtAnInaccessiblePage) {
    char* mem = static_cast<char*>(::VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    ASSERT_TRUE(mem && ::VirtualProtect(mem + 4096, 4096, PAGE_NOACCESS, &old));
    char* const narrow = mem + 4096 - 3;
    std::memcpy(narrow, "abc", 3);
    EXPECT_EQ((cl::format("%.3?|%.2?") % narrow % (narrow + 1)).str(), "abc|bc");
    EXPECT_EQ((cl::wformat(L"%.3?") % narrow).str(), L"abc");
    ::VirtualFree(mem, 0, MEM_RELEASE);
}

TEST(Format, SinksFinishOnceAndNeverWriteOutsideTheirStorage) {
    std::string target = "[";
    {
        cl::basic_strformat f(target);
        f % 7;  // no format string yet: appended like an extra argument
        f("a %? b %? c") % 1;
        f("|%3?|%?-%?") % 2 % L"w";  // the destructor finishes it
    }
    EXPECT_EQ(target, "[7a 1 b  c|  2|w-");
    char one = 'Z';
    { cl::basic_sformat(&one, 0, "text %?") % 1; }
    EXPECT_EQ(one, 'Z');
    cl::basic_sformat(nullptr, 100, "text %?") % 1;
}

// Where the engine and printf agree (d u x X o, flags, widths, positive precisions), generated placeholders
// give snprintf's text in every sink; the fixed buffer holds it cut to its size, the byte behind untouched.
template <class T>
bool same_as_snprintf(const std::string& f, T v, size_t size) {
    char expected[128], fixed[64];
    std::snprintf(expected, sizeof expected, f.c_str(), v);
    std::memset(fixed, 'Z', sizeof fixed);
    { cl::basic_sformat(fixed, size, f.c_str()) % v; }
    const std::string got = (cl::format(f.c_str()) % v).str();
    if (got == expected && (cl::wformat(ascii_wide(f).c_str()) % v).str() == ascii_wide(expected) &&
        std::string(expected).substr(0, size - 1) == fixed && fixed[size] == 'Z') return true;
    ADD_FAILURE() << f << " of " << v << " into " << size << ": snprintf " << expected << ", engine " << got << ", fixed " << fixed;
    return false;
}

TEST(Format, GeneratedPlaceholdersMatchSnprintf) {
    std::mt19937_64 next(0x70C0FFEE);  // the same cases on every run
    auto below = [&](unsigned n) { return static_cast<unsigned>(next() % n); };
    static const uint64_t special[] = {0, 1, 7, 8, 10, 255, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 1ull << 32, 1ull << 63, ~0ull};
    int mismatches = 0;
    for (int i = 0; i < 30000 && mismatches < 10; ++i) {
        const char conv = "duxXo"[below(5)];
        const bool precision = below(2), wide_int = below(2);
        std::string f = "<%";
        for (const char* flag = conv == 'd' ? "-+ 0" : conv == 'x' || conv == 'o' ? "-0#" : "-0"; *flag; ++flag)
            if (below(3) == 0 && !(*flag == '#' && conv == 'o' && precision)) f += *flag;  // printf's '#' raises o's precision
        if (below(2)) f += std::to_string(1 + below(30));
        if (precision) f += "." + std::to_string(1 + below(30));
        f += std::string(wide_int ? "ll" : "") + conv + ">";
        const uint64_t raw = below(4) == 0 ? special[below(12)] : below(3) == 0 ? 0 - next() % 100000 : next() >> below(64);
        const size_t size = 1 + below(48);
        mismatches += !(wide_int ? conv == 'd' ? same_as_snprintf(f, static_cast<long long>(raw), size)
                                               : same_as_snprintf(f, static_cast<unsigned long long>(raw), size)
                                 : conv == 'd' ? same_as_snprintf(f, static_cast<int>(static_cast<uint32_t>(raw)), size)
                                               : same_as_snprintf(f, static_cast<unsigned>(raw), size));
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Convert, Utf8RoundTripsAndFailuresGiveEmptyText) {
    const char* utf8 = "gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80";
    const std::wstring wide = L"gr\u00fc\u00dfe \u20ac \xD83D\xDE00";
    EXPECT_EQ(cl::widen(utf8, UINT(CP_UTF8)) + cl::widen(utf8, 4, CP_UTF8), wide + L"gr\u00fc");
    EXPECT_EQ(cl::narrow(wide, CP_UTF8) + cl::narrow(wide.c_str(), 3, CP_UTF8), std::string(utf8) + "gr\xC3\xBC");
    EXPECT_EQ(cl::widen(static_cast<const char*>(nullptr)) + cl::widen("abc", 0, CP_UTF8) + cl::widen("abc", 12345u), L"");
    EXPECT_EQ(cl::narrow(static_cast<const wchar_t*>(nullptr)) + cl::narrow(L"abc", 12345u), "");
}

}  // namespace
