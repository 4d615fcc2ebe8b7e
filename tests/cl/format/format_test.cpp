#include "cl/format/format.h"

#include "cl/format/convert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

namespace {

using arg = std::variant<std::int32_t, std::uint32_t, std::int64_t, std::uint64_t, const char*, std::string,
                         const wchar_t*, std::wstring>;

struct format_case {
    const char* fmt;
    std::vector<arg> args;
    const char* expected;
    bool narrow_only;  // the expectation depends on the character width
};

// ASCII only: the table's texts are ASCII.
std::wstring ascii_wide(const char* s) {
    std::wstring w;
    for (; *s; ++s) w += static_cast<wchar_t>(static_cast<unsigned char>(*s));
    return w;
}

template <class F>
void feed_all(F& f, const std::vector<arg>& args) {
    for (const arg& a : args) std::visit([&](const auto& v) { f % v; }, a);
}

const format_case cases[] = {
    // Literal text, %%, a trailing %, unfed placeholders, extra arguments.
    {"", {}, "", false},
    {"plain text\n", {}, "plain text\n", false},
    {"100%%", {}, "100%", false},
    {"%%a%%b%%", {}, "%a%b%", false},
    {"end %", {}, "end ", false},
    {"a %u b %u c", {}, "a  b  c", false},
    {"%? and %?!", {std::int32_t(1)}, "1 and !", false},
    {"%*?x%.*?y", {}, "xy", false},
    {"%*?x", {std::int32_t(3)}, "x", false},
    {"x", {std::uint32_t(4294967295u)}, "x-1", false},
    {"x", {std::uint64_t(UINT64_MAX)}, "x-1", false},
    {"x", {"ab"}, "xab", false},
    {"%?", {std::int32_t(1), std::int32_t(2)}, "12", false},
    {"%", {std::int32_t(5)}, "5", false},
    // Default and classic conversions, both integer families.
    {"%?", {std::int32_t(-5)}, "-5", false},
    {"%?", {std::uint32_t(4294967295u)}, "4294967295", false},
    {"%?", {std::uint64_t(10000000000ull)}, "10000000000", false},
    {"%?", {std::int32_t(INT32_MIN)}, "-2147483648", false},
    {"%?", {std::int64_t(INT64_MIN)}, "-9223372036854775808", false},
    {"%?", {std::uint64_t(UINT64_MAX)}, "18446744073709551615", false},
    {"%i|%i", {std::int32_t(-7), std::uint32_t(7)}, "-7|7", false},
    {"%d", {std::uint32_t(4294967295u)}, "-1", false},
    {"%s|%k", {std::int32_t(-3), std::uint32_t(5)}, "-3|5", false},
    {"%u", {std::int32_t(-1)}, "4294967295", false},
    {"%u", {std::int64_t(-1)}, "18446744073709551615", false},
    {"%x|%x", {std::int32_t(-1), std::int64_t(-1)}, "ffffffff|ffffffffffffffff", false},
    {"%X|%o|%o", {std::int32_t(255), std::int32_t(8), std::int32_t(0)}, "FF|10|0", false},
    {"%#x|%#o|%#X|%#o", {std::int32_t(0), std::int32_t(8), std::int32_t(255), std::int32_t(0)}, "0|010|0xFF|0", false},
    {"%p|%p|%p", {std::int32_t(255), std::int32_t(0), std::uint64_t(0x1234567890ull)}, "0xff|0|0x1234567890", false},
    {"%z|%Z|%Z|%z", {std::int32_t(35), std::int32_t(36), std::int32_t(35), std::uint64_t(UINT64_MAX)},
     "z|10|Z|3w5e11264sgsf", false},
    {"%m|%m|%m|%m|%m", {std::int32_t(64), std::int32_t(0), std::int32_t(63), std::uint32_t(UINT32_MAX), std::uint64_t(UINT64_MAX)},
     "BA|A|/|D/////|P//////////", false},
    // Length modifiers are passed over; a lone I or a second h is the conversion.
    {"%ld|%lld|%hu|%I64x|%Lu|%hlx", {std::int32_t(1), std::int64_t(2), std::uint32_t(3), std::uint64_t(255), std::uint64_t(5), std::int32_t(10)},
     "1|2|3|ff|5|a", false},
    {"%I32d|%hhd", {std::int32_t(5), std::int32_t(6)}, "532d|6d", false},
    // Signs, widths, zero fill, precision.
    {"%+?|% ?|%+ ?|%+?", {std::int32_t(5), std::int32_t(5), std::int32_t(5), std::int32_t(-5)}, "+5| 5|+5|-5", false},
    {"%+x|%+u|% x", {std::int32_t(255), std::uint32_t(5), std::int32_t(1)}, "+ff|+5| 1", false},
    {"%02?|%04x|0x%08x (", {std::int32_t(5), std::int32_t(1033), std::uint32_t(0x80070005u)}, "05|0409|0x80070005 (", false},
    {"%06?|%.5?|%05.3?", {std::int32_t(-42), std::int32_t(42), std::int32_t(42)}, "-00042|00042|  042", false},
    {"%-5?|%-05?|%5?|", {std::int32_t(42), std::int32_t(42), std::int32_t(42)}, "42   |42   |   42|", false},
    {"%#08x|%#8x|%-#8x|", {std::int32_t(255), std::int32_t(255), std::int32_t(255)}, "0x0000ff|    0xff|0xff    |", false},
    {"%+#06x|%.4x|%#.4x", {std::int32_t(255), std::int32_t(255), std::int32_t(255)}, "+0x0ff|00ff|0x00ff", false},
    {"%5-d", {std::int32_t(7)}, "    7d", false},
    {"%00005?|%-0+5?|", {std::int32_t(7), std::int32_t(7)}, "00007|+7   |", false},
    // Fixed point.
    {"%,.2?|%,.2?|%,.2?|%,?", {std::int32_t(1), std::int32_t(123), std::int32_t(-5), std::int32_t(123)}, "0.01|1.23|-0.05|123", false},
    {"%#,.3?%%|%#,.3?|%#,.3?|%#,.3?", {std::int32_t(999), std::int32_t(0), std::int32_t(1500), std::int32_t(2000)},
     "0.999%|0|1.5|2", false},
    {"%,.3?|%,.2?|%+,.1?", {std::int32_t(2000), std::uint64_t(123456789012ull), std::int32_t(5)}, "2.000|1234567890.12|+0.5", false},
    {"%,8.2?|%-,8.2?|", {std::int32_t(-5), std::int32_t(-5)}, "   -0.05|-0.05   |", false},
    {"%',.2?|%,.0?", {std::int32_t(123456), std::int32_t(123)}, "1234.56|123", false},
    {"Using %?CPU TSC running at %#,.3? MHz; congruence=%#,.3?%%\n", {"", std::int32_t(2893412), std::int32_t(99870)},
     "Using CPU TSC running at 2893.412 MHz; congruence=99.87%\n", false},
    // Digit groups.
    {"%'?|%'?|%'?|%'?", {std::int32_t(1234567), std::int32_t(123), std::int32_t(-1234), std::int32_t(123456)},
     "1,234,567|123|-1,234|123,456", false},
    {"%'x|%'x|%'x|%'X", {std::uint32_t(0x12345678u), std::uint32_t(0x12345u), std::uint32_t(0x1234u), std::uint64_t(UINT64_MAX)},
     "1234:5678|1:2345|1234|FFFF:FFFF:FFFF:FFFF", false},
    {"%'?|%'o", {std::uint64_t(UINT64_MAX), std::uint64_t(UINT64_MAX)}, "18,446,744,073,709,551,615|17:7777:7777:7777:7777:7777", false},
    {"%'12?|%-'12?|", {std::int32_t(-1234567), std::int32_t(1234567)}, "  -1,234,567|1,234,567   |", false},
    // '*' width and precision, including its 8-bit reading.
    {"%*?|%-*?|%*?|", {std::int32_t(5), std::int32_t(42), std::int32_t(-5), std::int32_t(42), std::int32_t(-5), std::int32_t(42)},
     "   42|42   |42   |", false},
    {"%.*?|%.*?|%*.*?|%*?", {std::int32_t(3), std::int32_t(7), std::int32_t(-1), std::int32_t(7), std::int32_t(6), std::int32_t(3),
                            std::int32_t(7), std::uint64_t(4), std::int32_t(1)},
     "007|7|   007|   1", false},
    {"%.*?|%.*?", {std::int32_t(2), "abcdef", std::int32_t(200), std::int32_t(1)}, "ab|1", false},
    {"%*?", {"ab", std::int32_t(5)}, "ab5", false},
    {"%*?|", {std::int32_t(259), std::int32_t(1)}, "  1|", false},
    // %c.
    {"%c|[%c]|[%3c]|[%-3c]|[%03c]|[%.0c]", {std::int32_t('A'), std::int32_t(0), std::int32_t('x'), std::int32_t('x'), std::int32_t('x'), std::int32_t('x')},
     "A|[]|[  x]|[x  ]|[00x]|[]", false},
    {"[%3c]", {std::int32_t(0)}, "[   ]", false},
    {"%c", {std::int32_t(0x141)}, "A", true},
    // Text.
    {"%.3?|%5?|%-5?|%05?|%-05?|", {"abcdef", "ab", "ab", "ab", "ab"}, "abc|   ab|ab   |000ab|ab   |", false},
    {"%.0?|%.10?|%?|%3?|", {"abc", "abc", "", ""}, "|abc||   |", false},
    {"%s|%.2s|%d", {std::string("text"), std::string("text"), "t"}, "text|te|t", false},
    {"%?|%.3?|%8?|%-7?|", {static_cast<const char*>(nullptr), static_cast<const char*>(nullptr), static_cast<const char*>(nullptr),
                           reinterpret_cast<const char*>(4095)},
     "(null)|(nu|  (null)|(null) |", false},
    {"%p|%x|%X", {static_cast<const char*>(nullptr), reinterpret_cast<const char*>(1), reinterpret_cast<const wchar_t*>(0xab0000)},
     "0|0x1|0xAB0000", false},
    {"%?|%.2?|%?|%?|%.3?", {L"wide", L"wide", std::wstring(L"wide"), static_cast<const wchar_t*>(nullptr), static_cast<const wchar_t*>(nullptr)},
     "wide|wi|wide|(null)|(nu", false},
    {"%-6?|%06?", {std::wstring(L"ab"), L"ab"}, "ab    |0000ab", false},
    {"Program %? is no longer running.\n", {L"notepad.exe"}, "Program notepad.exe is no longer running.\n", false},
    {"CreateProcess failed with error code %?: %?\n", {std::uint32_t(2), std::wstring(L"File not found.")},
     "CreateProcess failed with error code 2: File not found.\n", false},
};

void PrintTo(const format_case& c, std::ostream* os) { *os << '"' << c.fmt << '"'; }

class format_table : public ::testing::TestWithParam<format_case> {};

TEST_P(format_table, narrow_owned) {
    const format_case& c = GetParam();
    cl::format f(c.fmt);
    feed_all(f, c.args);
    EXPECT_EQ(f.str(), c.expected);
    EXPECT_EQ(f.result(), c.expected);
}

TEST_P(format_table, wide_owned) {
    const format_case& c = GetParam();
    if (c.narrow_only) return;
    const std::wstring fmt = ascii_wide(c.fmt);
    cl::wformat f(fmt.c_str());
    feed_all(f, c.args);
    EXPECT_EQ(f.str(), ascii_wide(c.expected));
}

TEST_P(format_table, fixed_buffer) {
    const format_case& c = GetParam();
    char buf[300];
    std::memset(buf, 'Z', sizeof buf);
    {
        cl::basic_sformat f(buf, sizeof buf, c.fmt);
        feed_all(f, c.args);
        EXPECT_EQ(f.result(), "");
    }
    EXPECT_STREQ(buf, c.expected);
}

TEST_P(format_table, appended_string) {
    const format_case& c = GetParam();
    std::string target = "pre:";
    {
        cl::basic_strformat f(target);
        feed_all(f(c.fmt), c.args);
    }
    EXPECT_EQ(target, std::string("pre:") + c.expected);
}

INSTANTIATE_TEST_SUITE_P(cases, format_table, ::testing::ValuesIn(cases));

// Every integer type picks one overload; up to 32 bits goes the 32-bit way, 64-bit types the 64-bit way.
TEST(format_types, every_integer_type_is_accepted) {
    enum small_enum { seven = 7 };
    enum class wide_enum : std::uint64_t { big = 1ull << 40 };
    const DWORD dword = 4294967295u;
    const std::size_t size = 42;
    const std::ptrdiff_t diff = -42;
    const std::string s =
        (cl::format("%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?|%?") % static_cast<signed char>(-1)
         % static_cast<unsigned char>(255) % static_cast<short>(-1) % static_cast<unsigned short>(65535) % -1 % 4294967295u
         % -1L % 4294967295uL % -1LL % 18446744073709551615uLL % dword % size % diff % true % 'A' % L'A' % u'B'
         % U'C' % seven % wide_enum::big)
            .str();
    EXPECT_EQ(s, "-1|255|-1|65535|-1|4294967295|-1|4294967295|-1|18446744073709551615|4294967295|42|-42|1|65|65|66|67|7|"
                 "1099511627776");
    EXPECT_EQ((cl::format("%x|%x|%x") % static_cast<short>(-1) % -1L % -1LL).str(), "ffffffff|ffffffff|ffffffffffffffff");
    EXPECT_EQ((cl::format("%c%c") % 'o' % 'k').str(), "ok");
    EXPECT_EQ((cl::wformat(L"%c|%?") % L'\u00e9' % L'\u00e9').str(), L"\u00e9|233");
    char array[8] = "array";
    wchar_t warray[8] = L"warray";
    char* mutable_text = array;
    EXPECT_EQ((cl::format("%? %? %? %?") % array % warray % mutable_text % nullptr).str(), "array warray array (null)");
}

TEST(format_types, pointer_conversions_show_the_address) {
    const char* text = "abc";
    char expected[40];
    std::snprintf(expected, sizeof expected, "0x%llx|0x%llX", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(text)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(text)));
    EXPECT_EQ((cl::format("%p|%X") % text % text).str(), expected);
}

// The polymorphic base feeds the same way as the concrete classes.
void write_through_base(cl::format_base<char>& f) { f % 1 % "two"; }

TEST(format_types, base_reference_feeds) {
    cl::format f("%?-%?.");
    write_through_base(f);
    EXPECT_EQ(f.str(), "1-two.");
}

// Widths and precisions live in 8-bit fields: digits wrap modulo 256 and anything above 127 is 127.
TEST(format_limits, large_widths_and_precisions_stay_in_bounds) {
    EXPECT_EQ((cl::format("%127?|") % 1).str(), std::string(126, ' ') + "1|");
    EXPECT_EQ((cl::format("%200?|") % 1).str(), std::string(126, ' ') + "1|");
    EXPECT_EQ((cl::format("%99999?|") % 1).str(), std::string(126, ' ') + "1|");  // 99999 % 256 = 159
    EXPECT_EQ((cl::format("%256?|%258?|") % 1 % 1).str(), "1| 1|");
    EXPECT_EQ((cl::format("%-200?|") % "x").str(), "x" + std::string(126, ' ') + "|");
    EXPECT_EQ((cl::format("%*?|") % -128 % 1).str(), "1" + std::string(126, ' ') + "|");
    EXPECT_EQ((cl::format("%*?|") % 127 % 1).str(), std::string(126, ' ') + "1|");
    EXPECT_EQ((cl::format("%.200?|") % 1).str(), std::string(126, '0') + "1|");
    EXPECT_EQ((cl::format("%.300?|") % 1).str(), std::string(43, '0') + "1|");  // 300 % 256 = 44
    EXPECT_EQ((cl::format("%,.200?") % 1).str(), "0." + std::string(126, '0') + "1");
    EXPECT_EQ((cl::format("%,.200?") % UINT64_MAX).str(), "0." + std::string(107, '0') + "18446744073709551615");
    EXPECT_EQ((cl::format("%#,.200?") % 1000).str(), "0." + std::string(123, '0') + "1");
    EXPECT_EQ((cl::format("%0200?") % -1).str(), "-" + std::string(125, '0') + "1");
    EXPECT_EQ((cl::format("%.200?") % "short").str(), "short");
    EXPECT_EQ((cl::wformat(L"%200?") % L"w").str(), std::wstring(126, L' ') + L"w");
    char buf[16];
    { cl::basic_sformat f(buf, sizeof buf, "%,0127.120?"); f % -1; }
    EXPECT_STREQ(buf, "    -0.00000000");
}

// The fixed buffer keeps size - 1 characters and a NUL, and never touches a byte behind it.
TEST(format_sformat, buffer_sizes_and_guard_zone) {
    const std::string full = "value=123456789 end";
    const std::size_t guard = 32;
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(8), full.size(), full.size() + 1,
                             full.size() + 2}) {
        std::vector<char> mem(size + guard, '\xAB');
        {
            cl::basic_sformat f(mem.data(), size, "value=%? %?");
            f % 123456789 % "end";
            if (size > 0) {
                // Terminated at every step, not only at the end.
                EXPECT_EQ(std::string(mem.data()), full.substr(0, size - 1)) << size;
            }
        }
        if (size == 0) {
            EXPECT_EQ(mem[0], '\xAB');
        } else {
            EXPECT_EQ(std::string(mem.data()), full.substr(0, size - 1)) << size;
        }
        for (std::size_t i = size; i < mem.size(); ++i) ASSERT_EQ(mem[i], '\xAB') << "size " << size << " byte " << i;
    }
}

TEST(format_sformat, seven_digits_of_nine_in_eight_bytes) {
    char buf[12];
    std::memset(buf, 'Z', sizeof buf);
    { cl::basic_sformat f(buf, 8, "%?"); f % 123456789; }
    EXPECT_STREQ(buf, "1234567");
    EXPECT_EQ(buf[8], 'Z');
}

TEST(format_sformat, wide_fields_and_null_buffer) {
    char buf[10];
    std::memset(buf, 'Z', sizeof buf);
    { cl::basic_sformat f(buf, 6, "%127?|%-127?|%0127x"); f % 1 % L"wide" % 255; }
    EXPECT_STREQ(buf, "     ");
    EXPECT_EQ(buf[6], 'Z');
    cl::basic_sformat none(nullptr, 100, "text %?");
    none % 1;  // nothing to write to, nothing written
}

// Text is measured only as far as the precision allows: no character behind it is read.
TEST(format_text, precision_stops_the_scan_of_unterminated_text) {
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    const std::size_t page = si.dwPageSize;
    char* mem = static_cast<char*>(::VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(mem, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(mem + page, page, PAGE_NOACCESS, &old));
    // Unterminated texts that end right at the inaccessible page.
    char* narrow_text = mem + page - 3;
    std::memcpy(narrow_text, "abc", 3);
    EXPECT_EQ((cl::format("%.3?|%.2?") % narrow_text % (narrow_text + 1)).str(), "abc|bc");
    EXPECT_EQ((cl::wformat(L"%.3?") % narrow_text).str(), L"abc");
    const wchar_t* wide_text = reinterpret_cast<wchar_t*>(mem + page) - 3;
    std::memcpy(mem + page - 6, L"uvw", 6);
    EXPECT_EQ((cl::wformat(L"%.3?|%.2?") % wide_text % (wide_text + 1)).str(), L"uvw|vw");
    EXPECT_EQ((cl::format("%.3?") % wide_text).str(), "uvw");
    ::VirtualFree(mem, 0, MEM_RELEASE);
}

TEST(format_text, other_width_goes_through_the_thread_code_page) {
    const wchar_t* wide = L"caf\u00e9 \u20ac";
    EXPECT_EQ((cl::format("[%?]") % wide).str(), "[" + cl::narrow(wide) + "]");
    EXPECT_EQ((cl::format("[%?]") % std::wstring(wide)).str(), "[" + cl::narrow(wide) + "]");
    const std::string narrow = cl::narrow(wide);
    EXPECT_EQ((cl::wformat(L"[%?]") % narrow).str(), L"[" + cl::widen(narrow) + L"]");
    // The precision limits the source scan and then cuts the converted text once more.
    EXPECT_EQ((cl::wformat(L"[%.2?|%.0?]") % "abcdef" % std::string("abc")).str(), L"[ab|]");
    EXPECT_EQ((cl::wformat(L"[%5?|%-5?]") % "ab" % std::string("cd")).str(), L"[   ab|cd   ]");
    EXPECT_EQ((cl::wformat(L"%?|%.3?|%p") % static_cast<const char*>(nullptr) % std::string() % static_cast<const char*>(nullptr))
                  .str(),
              L"(null)||0");
}

// Past the owned format's inner buffer the text moves to its string; nothing is lost on the way.
TEST(format_owned, long_output_moves_to_the_string) {
    const std::string literal(450, 'L');
    const std::string a = (cl::format((literal + "%100?%-100?|%c").c_str()) % 1 % "x" % 'y').str();
    EXPECT_EQ(a, literal + std::string(99, ' ') + "1x" + std::string(99, ' ') + "|y");
    cl::wformat w(L"%100?%100?%100?.");
    w % 1;
    EXPECT_EQ(w.result(), std::wstring(99, L' ') + L"1");
    w % 2 % 3;
    EXPECT_EQ(w.str(), std::wstring(99, L' ') + L"1" + std::wstring(99, L' ') + L"2" + std::wstring(99, L' ') + L"3.");
    const std::wstring long_wide(300, L'w');
    EXPECT_EQ((cl::format("%?|%.100?") % long_wide % long_wide).str(), std::string(300, 'w') + "|" + std::string(100, 'w'));
    EXPECT_EQ((cl::wformat(L"%?") % std::string(500, 'n')).str(), std::wstring(500, L'n'));
}

// Text of the other width that is not all ASCII takes the conversion. A sized text is converted
// whole and then cut, so a combining mark behind the cut still counts; a bare pointer is read only
// up to the precision.
TEST(format_text, non_ascii_other_width_is_converted_before_the_cut) {
    const std::wstring composed = L"e\u0301x";
    EXPECT_EQ((cl::format("%.1?") % composed).str(), cl::narrow(composed).substr(0, 1));
    EXPECT_EQ((cl::format("%.1?") % composed.c_str()).str(), "e");
    EXPECT_EQ((cl::format("%.3?|%5?") % L"abc\u00e9" % L"\u00e9").str(),
              "abc|" + std::string(5 - cl::narrow(L"\u00e9").size(), ' ') + cl::narrow(L"\u00e9"));
}

TEST(format_strformat, several_format_strings_append_in_turn) {
    std::string target = "[";
    {
        cl::basic_strformat f(target);
        f % 7;  // no format string yet: appended like an extra argument
        f("a %? b %? c") % 1;
        f("|%?|%?") % 2 % L"w";
        EXPECT_EQ(f.result(), "");
        f("%?-%?");  // the destructor finishes it
    }
    EXPECT_EQ(target, "[7a 1 b  c|2|w-");
}

TEST(format_owned, str_finishes_once_and_later_feeds_append) {
    cl::wformat f(L"%? of %? done%%");
    f % 3;
    EXPECT_EQ(f.str(), L"3 of  done%");
    EXPECT_EQ(f.str(), L"3 of  done%");
    f % 4;
    EXPECT_EQ(f.str(), L"3 of  done%4");
    cl::format empty(nullptr);
    empty % "x";
    EXPECT_EQ(empty.str(), "x");
}

// ---- cl::widen / cl::narrow

TEST(convert, utf8_round_trips) {
    const char* utf8 = "gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80";  // "grüße € " and U+1F600
    const std::wstring wide = cl::widen(utf8, UINT(CP_UTF8));
    EXPECT_EQ(wide, L"gr\u00fc\u00dfe \u20ac \xD83D\xDE00");
    EXPECT_EQ(cl::narrow(wide, CP_UTF8), utf8);
    EXPECT_EQ(cl::narrow(wide.c_str(), UINT(CP_UTF8)), utf8);
    EXPECT_EQ(cl::widen(std::string(utf8), CP_UTF8), wide);
    EXPECT_EQ(cl::widen(utf8, 4, CP_UTF8), L"gr\u00fc");           // pointer and length
    EXPECT_EQ(cl::narrow(wide.c_str(), 3, CP_UTF8), "gr\xC3\xBC");
}

TEST(convert, empty_null_and_failure_give_empty) {
    EXPECT_EQ(cl::widen(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(cl::narrow(static_cast<const wchar_t*>(nullptr)), "");
    EXPECT_EQ(cl::widen(static_cast<const char*>(nullptr), UINT(CP_UTF8)), L"");
    EXPECT_EQ(cl::widen(""), L"");
    EXPECT_EQ(cl::narrow(L""), "");
    EXPECT_EQ(cl::widen(std::string()), L"");
    EXPECT_EQ(cl::narrow(std::wstring()), "");
    EXPECT_EQ(cl::widen("abc", 0, CP_UTF8), L"");
    EXPECT_EQ(cl::widen("abc", 12345u), L"");  // no such code page
    EXPECT_EQ(cl::narrow(L"abc", 12345u), "");
}

TEST(convert, thread_code_page_round_trips_ascii) {
    EXPECT_EQ(cl::widen("Tolvarn 1.0"), L"Tolvarn 1.0");
    EXPECT_EQ(cl::narrow(L"Tolvarn 1.0"), "Tolvarn 1.0");
    EXPECT_EQ(cl::narrow(cl::widen(std::string("x=1;y=2"))), "x=1;y=2");
}

}  // namespace
