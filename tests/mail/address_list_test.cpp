#include "mail/address_list.h"

#include "tests/mail/address_reference.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string printable(const std::wstring& value)
{
    std::string text;
    for (wchar_t ch : value)
    {
        if (ch >= 0x20 && ch < 0x7f)
            text += static_cast<char>(ch);
        else
        {
            char code[16];
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(ch));
            text += code;
        }
    }
    return text;
}

// The literal pattern without the display-name change, for the one test that shows the change.
int match_original(const std::wstring& value)
{
    static const address_reference::regex_type original(address_reference::original_pattern_text());
    return boost::regex_match(value.begin(), value.end(), original) ? 1 : 0;
}

double elapsed_ms(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// Runs first in this program, so the pattern is built while several threads ask for it at once.
TEST(CheckAddressList, FirstUseFromSeveralThreads)
{
    std::atomic<int> ready(0);
    std::atomic<int> wrong(0);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
    {
        threads.emplace_back([&] {
            ++ready;
            while (ready.load() < 4) std::this_thread::yield();
            if (check_address_list(L"ops@example.com") != 0) ++wrong;
            if (check_address_list(L" ops@example.com") != -1) ++wrong;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(CheckAddressList, AnswersForTypicalAndEdgeValues)
{
    struct row { const wchar_t* value; int expected; };
    const row rows[] = {
        {L"ops@example.com", 0},
        {L"Operations <ops@example.com>", 0},
        {L"\"Operations Team\" <ops@example.com>", 0},
        {L"ops@example.com, dev@example.com", 0},
        {L"ops@example.com,dev@example.com", 0},
        {L"ops@example.com ,\tdev@example.com", 0},
        {L" ops@example.com", -1},           // white space before the first address
        {L"ops@example.com ", -1},           // ... or after the last
        {L"ops @example.com", -1},           // ... or around "@"
        {L"ops@ example.com", -1},
        {L"", -1},                           // at least one address
        {L",", -1},
        {L"ops", -1},
        {L"@example.com", -1},
        {L"ops@", -1},
        {L"<ops@example.com>", -1},          // a bracketed address needs a display name
        {L"Ops<ops@example.com>", -1},       // ... and white space before "<"
        {L"Ops <ops@example.com", -1},
        {L"Ops <ops@example.com> ", -1},
        {L"\"john smith\"@example.com", 0},  // quoted local parts
        {L"\"a\\\"b\"@example.com", 0},
        {L"john.\"q\".smith@example.com", 0},
        {L"\"unterminated@example.com", -1},
        {L"Ops <@relay.example.com:ops@example.com>", 0},  // source routes
        {L"Ops <@a.example @b.example : ops@example.com>", 0},
        {L"Ops <@relay.example.com ops@example.com>", -1},
        {L"Team: ops@example.com, Dev <dev@example.com>;", 0},  // groups
        {L"Team:ops@example.com;, x@example.com", 0},
        {L"Team: ops@example.com", -1},
        {L"Team:;", -1},
        {L"Team: A: a@b;;", -1},                          // no nested groups
        {L"a,b@c", 0},     // "," "." "-" "/" are atom characters as the pattern reads its class
        {L"a@b,c", 0},
        {L"ops@example.com,", 0},
        {L"ops@example.com\n", -1},
        {L"ops(x)@example.com", -1},
        {L"o\u00e9s@ex\u00e4mple.com", 0},
    };
    for (const row& r : rows)
    {
        EXPECT_EQ(check_address_list(r.value), r.expected) << printable(r.value);
        EXPECT_EQ(address_reference::match(r.value), r.expected == 0 ? 1 : 0) << printable(r.value);
    }
}

// The literal pattern runs the words of a name together; names of several words pass now.
TEST(CheckAddressList, DisplayAndGroupNamesOfSeveralWords)
{
    const wchar_t* values[] = {
        L"Operations Team <ops@example.com>",
        L"John Q. Public <jqp@example.com>, ops@example.com",
        L"\"Ops\" Team\t<ops@example.com>",
        L"The Team: ops@example.com, Dev Ops <dev@example.com>;",
    };
    for (const wchar_t* value : values)
    {
        EXPECT_EQ(check_address_list(value), 0) << printable(value);
        EXPECT_EQ(address_reference::match(value), 1) << printable(value);
        EXPECT_EQ(match_original(value), 0) << printable(value);
    }
}

TEST(CheckAddressList, NeverThrows)
{
    static_assert(noexcept(check_address_list(std::wstring())), "check_address_list must not throw");
    std::wstring odd(L"a@b");
    odd += L'\0';
    EXPECT_EQ(check_address_list(odd), -1);
    EXPECT_EQ(check_address_list(std::wstring(1, L'\xd800') + L"@b"), -1);
    // Far beyond any header value: the answer may be either, but it comes, and nothing escapes.
    std::wstring huge;
    while (huge.size() < 400000) huge += L"Ops Team <ops@example.com>, a.b@c.d, ";
    huge += L"x@y";
    const int answer = check_address_list(huge);
    EXPECT_TRUE(answer == 0 || answer == -1);
    EXPECT_EQ(check_address_list(std::wstring(400000, L'a')), -1);
}

struct long_case { std::wstring value; int expected; };

std::wstring repeat(const std::wstring& prefix, const std::wstring& unit, const std::wstring& suffix,
                    size_t length = 1000)
{
    std::wstring value = prefix;
    while (value.size() + unit.size() + suffix.size() <= length) value += unit;
    return value + suffix;
}

// Inputs on which a naive pattern backtracks for seconds or gives up. The bound is far above the
// real figures (see the benchmark); it only tells a linear matcher from an exponential one.
TEST(CheckAddressList, LongAdversarialValuesAnswerPromptly)
{
    const long_case cases[] = {
        {std::wstring(80, L'a'), -1},
        {std::wstring(1000, L'a'), -1},
        {repeat(L"", L"a.", L"a"), -1},
        {repeat(L"", L"\"a\" ", L"\"a\""), -1},
        {repeat(L"", L"\"\\\"", L""), -1},
        {repeat(L"\"", L"\\\\\\\"", L""), -1},
        {repeat(L"", L"a <", L""), -1},
        {repeat(L"a@", L",", L"@"), -1},
        {repeat(L"", L"a,", L"@"), -1},
        {repeat(L"", L"a@b, ", L"x@y"), 0},
        {repeat(L"", L"a@b, ", L"x@"), -1},
        {repeat(L"", L"a@b,c,", L"d@e"), 0},
        {repeat(L"", L"a@b,c,", L"d@"), -1},
        {repeat(L"", L"a@b, ,c <d@e>, ", L"x@y"), 0},
        {repeat(L"", L"a@b, ,c <d@e>, ", L"x@"), -1},
        {repeat(L"", L"Ops Team <ops@example.com>, ", L"x@y"), 0},
        {repeat(L"", L"Ops Team <ops@example.com>, ", L"x <y"), -1},
        {repeat(L"G: ", L"a@b.c, x <y@z>, ", L"q@r;"), 0},
        {repeat(L"G: ", L"a@b.c, x <y@z>, ", L"q@r"), -1},
        {repeat(L"", L"\"a\\\"@b,", L""), 0},
        {repeat(L"", L"\"a\\\"b\"c", L""), -1},
        {repeat(L"", L"x <@a @b:", L"c@d>"), -1},
    };
    for (const long_case& c : cases)
    {
        LARGE_INTEGER start;
        ::QueryPerformanceCounter(&start);
        EXPECT_EQ(check_address_list(c.value), c.expected) << printable(c.value.substr(0, 40));
        EXPECT_LT(elapsed_ms(start), 200.0) << printable(c.value.substr(0, 40));
    }
}

// Deterministic generator of short values (std::mt19937 is the same everywhere; the modulo keeps the
// choices so too).
class corpus
{
public:
    explicit corpus(uint32_t seed) : rng_(seed) {}

    size_t pick(size_t count) { return rng_() % count; }

    template <size_t N>
    std::wstring pick(const wchar_t* const (&items)[N]) { return items[pick(N)]; }

    std::wstring space()
    {
        static const wchar_t* const items[] = {L"", L"", L"", L" ", L"  ", L"\t"};
        return pick(items);
    }
    std::wstring atom()
    {
        static const wchar_t* const items[] = {L"a", L"b", L".", L",", L"-", L"!", L"#", L"\u00e9"};
        std::wstring text;
        for (size_t n = 1 + pick(2); n > 0; --n) text += pick(items);
        return text;
    }
    std::wstring quoted()
    {
        static const wchar_t* const items[] = {L"a", L" ", L"\\\"", L"\\", L"@", L",", L"<", L";"};
        std::wstring text = L"\"";
        for (size_t n = pick(3); n > 0; --n) text += pick(items);
        return text + L"\"";
    }
    std::wstring word() { return pick(3) ? atom() : quoted(); }
    std::wstring local_part()
    {
        std::wstring text = word();
        while (pick(3) == 0) text += L"." + word();
        return text;
    }
    std::wstring addr_spec()
    {
        std::wstring text = local_part() + L"@" + atom();
        while (pick(4) == 0) text += L"." + atom();
        return text;
    }
    std::wstring phrase()
    {
        std::wstring text = word();
        while (pick(2)) text += space() + word();
        return text;
    }
    std::wstring mailbox()
    {
        if (pick(2)) return addr_spec();
        std::wstring route;
        if (pick(4) == 0) route = L"@" + atom() + space() + L":" + space();
        return phrase() + (pick(2) ? L" " : L"\t") + L"<" + route + addr_spec() + L">";
    }
    std::wstring address()
    {
        if (pick(4)) return mailbox();
        std::wstring text = phrase() + space() + L":" + space() + mailbox();
        while (pick(3) == 0) text += space() + L"," + space() + mailbox();
        return text + space() + L";";
    }
    std::wstring list()
    {
        std::wstring text = address();
        while (pick(2)) text += space() + L"," + space() + address();
        return text;
    }

private:
    std::mt19937 rng_;
};

class differential
{
public:
    void compare(const std::wstring& value)
    {
        const int reference = address_reference::match(value);
        if (reference < 0)
        {
            ++skipped;
            return;
        }
        ++compared;
        accepted += reference;
        if ((check_address_list(value) == 0) != (reference == 1) && ++mismatches <= 20)
            ADD_FAILURE() << "differs from the literal pattern: [" << printable(value) << "]";
    }

    long compared = 0;
    long accepted = 0;
    long skipped = 0;
    long mismatches = 0;
};

const wchar_t mutation_alphabet[] = L"ab.,@\"\\ <>:;\t!\u00e9";

TEST(CheckAddressList, AcceptsExactlyWhatTheLiteralPatternAccepts)
{
    differential d;

    // Every value of up to five characters over the pattern's special characters.
    const std::wstring small = L"a.,@\"\\ <>:;";
    for (size_t length = 0; length <= 5; ++length)
    {
        std::vector<size_t> digit(length, 0);
        for (;;)
        {
            std::wstring value;
            for (size_t k : digit) value += small[k];
            d.compare(value);
            size_t k = length;
            while (k > 0 && ++digit[k - 1] == small.size()) digit[--k] = 0;
            if (k == 0) break;
        }
    }

    // Random strings of tokens, up to 14 characters.
    static const wchar_t* const tokens[] = {
        L"a", L"b", L"x.y", L",", L",", L" ", L" ", L"\t", L".", L".", L"@", L"@", L"\"", L"\\\"",
        L"\"q\"", L"\"a b\"", L"\\", L"<", L">", L":", L";", L"!", L"#", L"\u00e9", L"\u00a0",
        L"\u3000", L"(", L"\"\"", L"a@b", L", ", L" <", L"> ", L"a.", L".a"};
    corpus random(20240611);
    for (int i = 0; i < 120000; ++i)
    {
        std::wstring value;
        const size_t length = random.pick(15);
        while (value.size() < length) value += random.pick(tokens);
        d.compare(value);
    }

    // Valid lists from the grammar, each with a few mutations.
    const long accepted_before = d.accepted;
    long generated = 0;
    const size_t alphabet = sizeof mutation_alphabet / sizeof mutation_alphabet[0] - 1;
    while (generated < 6000)
    {
        std::wstring value = random.list();
        if (value.size() > 20) continue;
        ++generated;
        d.compare(value);
        for (int m = 0; m < 8; ++m)
        {
            std::wstring mutated = value;
            const size_t at = random.pick(mutated.size());
            switch (random.pick(4))
            {
            case 0: mutated.erase(at, 1); break;
            case 1: mutated.insert(at, 1, mutation_alphabet[random.pick(alphabet)]); break;
            case 2: mutated[at] = mutation_alphabet[random.pick(alphabet)]; break;
            default: mutated.insert(at, mutated.substr(at, random.pick(4))); break;
            }
            d.compare(mutated);
        }
    }
    EXPECT_GE(d.accepted - accepted_before, generated);  // the generator's lists all pass

    // Lists of pieces that put commas inside atoms, next to separators and white space.
    static const wchar_t* const pieces[] = {
        L"a@b", L"a,b@c,d", L"a@b,", L",a@b", L"\"q\"@b", L"x <a@b>", L"x, y <a@b>", L"G:a@b;",
        L"G: a@b, c <d@e>;", L"a.\"q\"@b", L"\"a\\\"@b", L",@,", L"x <@r:a@b>", L"a@,,"};
    static const wchar_t* const separators[] = {
        L",", L", ", L" ,", L" , ", L",\t", L",,", L", ,", L" ,,", L""};
    for (int i = 0; i < 40000; ++i)
    {
        std::wstring value;
        for (size_t n = 1 + random.pick(4); n > 0; --n)
            value += (value.empty() ? std::wstring() : random.pick(separators)) + random.pick(pieces);
        if (random.pick(3) == 0) value[random.pick(value.size())] = mutation_alphabet[random.pick(alphabet)];
        d.compare(value);
    }

    // Hand-picked addresses, with every one-character deletion and replacement.
    const wchar_t* const picked[] = {
        L"ops@example.com", L"Ops Team <o@e.c>", L"\"a b\"@c.d", L"a.\"b\".c@d", L"x <@r:a@b>",
        L"G: a@b, c <d@e>;", L"a@b, c@d", L"\"a\\\"\"@b", L"a@b,,c@d"};
    for (const wchar_t* text : picked)
    {
        const std::wstring value(text);
        d.compare(value);
        for (size_t at = 0; at < value.size(); ++at)
        {
            d.compare(value.substr(0, at) + value.substr(at + 1));
            for (size_t k = 0; k < alphabet; ++k)
            {
                std::wstring replaced = value;
                replaced[at] = mutation_alphabet[k];
                d.compare(replaced);
            }
        }
    }

    // Every UTF-16 code unit where an atom character, white space or quoted text may stand.
    const wchar_t* const places[] = {L"a@%", L"%@a", L"a%b <c@d>", L"\"%\"@a"};
    for (unsigned unit = 0; unit <= 0xffff; ++unit)
    {
        for (const wchar_t* place : places)
        {
            std::wstring value(place);
            value[value.find(L'%')] = static_cast<wchar_t>(unit);
            d.compare(value);
        }
    }

    EXPECT_EQ(d.mismatches, 0);
    EXPECT_EQ(d.skipped, 0);
    EXPECT_GT(d.compared, 650000);
    std::printf("compared %ld values (%ld accepted), skipped %ld\n", d.compared, d.accepted, d.skipped);
}

}  // namespace
