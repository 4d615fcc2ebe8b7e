#include "cl/trace/debug_trace.h"
#include "cl/trace/lined_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class capture_trace : public cl::lined_trace {
public:
    explicit capture_trace(const char* prefix = "") : lined_trace(prefix) {}
    std::vector<std::string> lines;

protected:
    void output_line(const char* line) override { lines.push_back(line); }
};

const std::string x254(254, 'x');

TEST(LinedTrace, AssemblesLines) {
    struct {
        const char* name;
        std::vector<std::string> writes;
        std::vector<std::string> lines;
    } const cases[] = {
        {"one line", {"abc\n"}, {"abc\n"}},
        {"CR LF and LF", {"a\r\nb\n"}, {"a\n", "b\n"}},
        {"CR LF across writes", {"a\r", "\nb\n"}, {"a\n", "b\n"}},
        {"continued", {"ab", "c", "d\n"}, {"abcd\n"}},
        {"empty line", {"\n"}, {"\n"}},
        {"partial line waits", {"abc"}, {}},
        {"exactly 254 then LF", {x254 + "\n"}, {x254 + "\n"}},
        {"exactly 254 then CR LF", {x254 + "\r\ny\n"}, {x254 + "\n", "y\n"}},
        {"254 then LF in the next write", {x254, "\n", "z\n"}, {x254 + "\n", "z\n"}},
        {"253 and CR LF", {std::string(253, 'x') + "\r\n"}, {std::string(253, 'x') + "\n"}},
        {"split after 254", {std::string(300, 'x') + "\n"}, {x254 + "\n", std::string(46, 'x') + "\n"}},
        {"two full lines", {std::string(508, 'x')}, {x254 + "\n", x254 + "\n"}},
        {"break then text", {x254 + "abc\n"}, {x254 + "\n", "abc\n"}},
    };
    for (const auto& c : cases) {
        capture_trace trace;
        for (const std::string& w : c.writes) trace.write(w.c_str(), true);
        EXPECT_EQ(trace.lines, c.lines) << c.name;
    }
}

TEST(LinedTrace, FlushEmitsAPartialLineUnchanged) {
    capture_trace trace;
    trace.write("partial", false);
    trace.flush(false);
    trace.flush(true);  // nothing pending any more
    ASSERT_EQ(trace.lines.size(), 1u);
    EXPECT_EQ(trace.lines[0], "partial");
    trace.write("next\n", true);
    EXPECT_EQ(trace.lines.back(), "next\n");
}

TEST(LinedTrace, PrefixGoesInFrontOfEveryLine) {
    capture_trace trace("pre: ");
    trace.write("a\nb\n", true);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"pre: a\n", "pre: b\n"}));

    capture_trace longer("0123456789abcdefXYZ");  // cut to 16 characters
    longer.write("c\n", true);
    EXPECT_EQ(longer.lines, (std::vector<std::string>{"0123456789abcdefc\n"}));

    capture_trace none(nullptr);
    none.write(static_cast<const char*>(nullptr), true);
    none.write("d\n", true);
    EXPECT_EQ(none.lines, (std::vector<std::string>{"d\n"}));
}

TEST(LinedTrace, WideTextArrivesAsUtf8) {
    capture_trace trace;
    trace.write(L"\u00fc\n", true);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"\xC3\xBC\n"}));
}

TEST(DebugTrace, AcceptsLinesAndPartialLines) {
    // The debugger output cannot be read back here; this only proves the path runs cleanly,
    // including the destructor's emission of a pending partial line.
    cl::debug_trace trace("test: ");
    trace.write("debug_trace line\n", true);
    trace.write(std::string(600, 'd').c_str(), true);
}

}  // namespace
