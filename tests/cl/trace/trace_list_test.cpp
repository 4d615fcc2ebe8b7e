#include "cl/trace/console_trace.h"
#include "cl/trace/debug_trace.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"
#include "cl/trace/trace_base.h"
#include "cl/trace/trace_list.h"
#include "trace_test_util.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace {

struct record_sink : cl::trace_base {
    explicit record_sink(std::vector<std::string>* log, const char* name) : log(log), name(name) {}
    using trace_base::write;
    void write(const char* text, bool may_defer) override {
        log->push_back(name + ":" + text + (may_defer ? ":true" : ":false"));
    }
    void flush(bool may_defer) override { log->push_back(name + ":flush" + (may_defer ? ":true" : ":false")); }
    std::vector<std::string>* log;
    std::string name;
};

TEST(TraceList, WritesToEverySinkInOrder) {
    std::vector<std::string> log;
    record_sink a(&log, "a"), b(&log, "b");
    cl::trace_list list;
    EXPECT_TRUE(cl::trace_add(&list, &a));
    EXPECT_TRUE(cl::trace_add(&list, &b));
    EXPECT_FALSE(cl::trace_add(&list, &a));  // already there
    EXPECT_FALSE(cl::trace_add(&list, nullptr));
    EXPECT_FALSE(cl::trace_add(nullptr, &a));

    cl::trace_write(&list, "x\n");
    cl::trace_write(&list, std::string("y\n"));
    cl::trace_write(&list, L"\u00e4\n");
    cl::trace_write(&list, std::wstring(L"w\n"));
    cl::trace_flush(&list);
    const std::vector<std::string> expected = {
        "a:x\n:true", "b:x\n:true", "a:y\n:true", "b:y\n:true", "a:\xC3\xA4\n:true", "b:\xC3\xA4\n:true",
        "a:w\n:true", "b:w\n:true", "a:flush:true", "b:flush:true"};
    EXPECT_EQ(log, expected);

    // A null list does nothing.
    cl::trace_write(nullptr, "lost\n");
    cl::trace_write(nullptr, L"lost\n");
    cl::trace_flush(nullptr);
    EXPECT_EQ(log.size(), expected.size());
}

TEST(TraceList, DisabledListFeedsTheBacklog) {
    std::vector<std::string> log;
    record_sink a(&log, "a");
    // A list after its destructor, as the global lists are while other globals are destroyed.
    alignas(cl::trace_list) unsigned char storage[sizeof(cl::trace_list)];
    cl::trace_list* list = new (storage) cl::trace_list;
    ASSERT_TRUE(cl::trace_add(list, &a));
    list->~trace_list();
    EXPECT_FALSE(list->enabled());
    EXPECT_TRUE(cl::trace_add(list, &a));  // accepted, not added

    const cl::trace_backlog saved = cl::g_trace_backlog;
    cl::g_trace_backlog.length = 0;
    cl::trace_write(list, "ab\xE9\n");
    cl::trace_write(list, L"\u00e9!");
    cl::trace_flush(list);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(std::wstring(cl::g_trace_backlog.text, cl::g_trace_backlog.length), L"ab?\n\u00e9!");

    // It holds 255 characters at most.
    cl::trace_write(list, std::string(400, 'z'));
    EXPECT_EQ(cl::g_trace_backlog.length, 255);
    EXPECT_EQ(cl::g_trace_backlog.text[255], L'\0');

    // Replaying writes it to a list and empties it.
    cl::trace_list target;
    cl::trace_add(&target, &a);
    cl::trace_replay_backlog(&target);
    EXPECT_EQ(cl::g_trace_backlog.length, 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "a:ab?\n\xC3\xA9!" + std::string(249, 'z') + ":true");
    cl::trace_replay_backlog(&target);  // empty: nothing
    EXPECT_EQ(log.size(), 1u);
    cl::g_trace_backlog = saved;
}

TEST(TraceBase, Utf8Conversion) {
    struct {
        std::wstring in;
        std::string out;
    } const cases[] = {
        {L"", ""},
        {L"A\x7F", "A\x7F"},
        {L"\x80", "\xC2\x80"},
        {L"\x7FF", "\xDF\xBF"},
        {L"\x800", "\xE0\xA0\x80"},
        {L"\xFFFF", "\xEF\xBF\xBF"},
        {L"\xD800\xDC00", "\xF0\x90\x80\x80"},   // U+10000
        {L"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},   // U+10FFFF
        {L"a\xD800", "a"},                        // high surrogate at the end
        {L"\xD800\xD801\xDC01", "\xF0\x90\x90\x81"},  // high, then a pair
        {L"\xD800" L"b", "b"},
        {L"\xDC00" L"c", "c"},                    // lone low surrogate
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::trace_base::to_utf8(c.in.data(), c.in.size()), c.out) << c.out;
}

TEST(GlobalTrace, ListsAreSetUp) {
    EXPECT_TRUE(cl::is_console_program());  // the test program is a console program
    EXPECT_TRUE(cl::g_trace_out.enabled());
    // Every global sink is in its lists already.
    EXPECT_FALSE(cl::trace_add(&cl::g_trace_out, &cl::g_file_trace));
    EXPECT_FALSE(cl::trace_add(&cl::g_trace_out, &cl::g_stdout_trace));
    EXPECT_FALSE(cl::trace_add(&cl::g_trace_err, &cl::g_debug_trace));
    EXPECT_FALSE(cl::trace_add(&cl::g_trace_err, &cl::g_file_trace));
    EXPECT_FALSE(cl::trace_add(&cl::g_trace_err, &cl::g_stderr_trace));
    EXPECT_FALSE(cl::trace_add(&cl::g_trace_log, &cl::g_file_trace));
}

TEST(GlobalTrace, StartSeparatorReachesTheNamedLog) {
    trace_test::temp_dir dir;
    const std::wstring path = dir.file(L"global.log");
    cl::g_file_trace.set_file_name(path);
    cl::trace_write(&cl::g_trace_out, "global trace line\n");
    cl::trace_flush(&cl::g_trace_out);
    cl::g_file_trace.set_file_name(L"");  // the folder goes away
    const std::string log = trace_test::read_file(path);
    // Four stamped lines: two empty ones, the hyphens, one empty one; then the message.
    std::vector<std::string> texts;
    for (std::size_t pos = 0; pos < log.size();) {
        const std::size_t eol = log.find("\r\n", pos);
        ASSERT_NE(eol, std::string::npos) << log;
        ASSERT_GE(eol - pos, 11u) << log;
        texts.push_back(log.substr(pos + 11, eol - pos - 11));
        pos = eol + 2;
    }
    // The separator is written once per process: a repeated run sees only the message.
    static bool first_run = true;
    const std::vector<std::string> expected = first_run
        ? std::vector<std::string>{"", "", std::string(64, '-'), "", "global trace line"}
        : std::vector<std::string>{"global trace line"};
    first_run = false;
    EXPECT_EQ(texts, expected);
}

}  // namespace
