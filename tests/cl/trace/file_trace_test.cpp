#include "cl/trace/file_trace.h"
#include "cl/timer/passive_timer.h"
#include "trace_test_util.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using trace_test::file_exists;
using trace_test::read_file;
using trace_test::temp_dir;
using trace_test::wait_until;

namespace {

constexpr int prefix_length = 11;  // HHMMSS'mmm and a space

// Splits the log into its lines (CR LF removed); fails the test on a line without CR LF.
std::vector<std::string> log_lines(const std::string& log) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "line without CR LF: " << log.substr(start);
            break;
        }
        lines.push_back(log.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// True when `line` starts with a time stamp prefix: HHMMSS'mmm and a space, a valid time.
bool has_prefix(const std::string& line) {
    static const std::regex shape("([0-9]{2})([0-9]{2})([0-9]{2})'[0-9]{3} ");
    std::smatch m;
    if (line.size() < prefix_length) return false;
    const std::string head = line.substr(0, prefix_length);
    if (!std::regex_match(head, m, shape)) return false;
    return std::stoi(m[1]) < 24 && std::stoi(m[2]) < 60 && std::stoi(m[3]) < 60;
}

std::string text_of(const std::string& line) { return line.size() > prefix_length ? line.substr(prefix_length) : ""; }

class FileTrace : public ::testing::Test {
protected:
    cl::passive_timer timer_{"trace-test"};
    temp_dir dir_;
    std::wstring log_ = dir_.file(L"test.log");
};

TEST_F(FileTrace, OneWriteOfTwoLinesGivesTwoLinesWithOnePrefix) {
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    trace.write("first\nsecond\n", true);
    trace.flush(true);
    const std::string log = read_file(log_);
    const std::vector<std::string> lines = log_lines(log);
    ASSERT_EQ(lines.size(), 2u) << log;
    EXPECT_TRUE(has_prefix(lines[0])) << lines[0];
    EXPECT_EQ(lines[0].substr(0, prefix_length), lines[1].substr(0, prefix_length));
    EXPECT_EQ(text_of(lines[0]), "first");
    EXPECT_EQ(text_of(lines[1]), "second");
    EXPECT_EQ(trace.bytes_held(), 0);
    EXPECT_EQ(trace.file_size(), static_cast<std::int64_t>(log.size()));
}

TEST_F(FileTrace, PrefixShowsTheLocalTimeOfEachWrite) {
    // The prefix is composed again only when the millisecond changes: writes in a row, some in
    // the same millisecond and some apart, each carry the local time at which they were made.
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    auto ms_of_day = [](const SYSTEMTIME& t) {
        return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
    };
    std::vector<std::pair<int, int>> windows;
    for (int i = 0; i < 60; ++i) {
        SYSTEMTIME before, after;
        ::GetLocalTime(&before);
        trace.write(("line " + std::to_string(i) + "\n").c_str(), true);
        ::GetLocalTime(&after);
        windows.emplace_back(ms_of_day(before), ms_of_day(after));
        if (i % 3 == 0) ::Sleep(i % 2 ? 1 : 7);
    }
    trace.flush(true);
    const std::vector<std::string> lines = log_lines(read_file(log_));
    ASSERT_EQ(lines.size(), windows.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(has_prefix(lines[i])) << lines[i];
        const int stamp = ((std::stoi(lines[i].substr(0, 2)) * 60 + std::stoi(lines[i].substr(2, 2))) * 60 +
                           std::stoi(lines[i].substr(4, 2))) * 1000 + std::stoi(lines[i].substr(7, 3));
        if (windows[i].second < windows[i].first) continue;  // midnight passed
        EXPECT_GE(stamp, windows[i].first) << lines[i];
        EXPECT_LE(stamp, windows[i].second) << lines[i];
    }
}

TEST_F(FileTrace, LineEndsAndContinuation) {
    struct {
        std::vector<const char*> writes;
        std::vector<std::string> lines;
    } const cases[] = {
        {{"abc", "def\n"}, {"abcdef"}},              // a text without LF is continued
        {{"a\r\nb\n"}, {"a", "b"}},                  // CR LF stays CR LF, bare LF becomes CR LF
        {{"a\r", "\nb\n"}, {"a", "b"}},              // CR LF split across two writes
        {{"\n", "x\n"}, {"", "x"}},                  // an empty line gets its prefix too
        {{"one\ntwo", " more\n"}, {"one", "two more"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring path = dir_.file((L"case" + std::to_wstring(n++) + L".log").c_str());
        cl::file_trace trace(timer_);
        trace.set_file_name(path);
        for (const char* w : c.writes) trace.write(w, true);
        trace.flush(true);
        const std::string log = read_file(path);
        const std::vector<std::string> lines = log_lines(log);
        ASSERT_EQ(lines.size(), c.lines.size()) << log;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(has_prefix(lines[i])) << lines[i];
            EXPECT_EQ(text_of(lines[i]), c.lines[i]);
            EXPECT_EQ(lines[i].find('\r'), std::string::npos) << "stray CR in " << lines[i];
        }
    }
}

TEST_F(FileTrace, WideTextIsWrittenAsUtf8) {
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    // e-acute, euro sign, U+1F600 as a surrogate pair, a lone high surrogate, a lone low surrogate
    trace.write(L"\u00e9\u20ac\xD83D\xDE00x\xD800y\xDC00z\n", true);
    trace.flush(true);
    const std::string log = read_file(log_);
    ASSERT_GT(log.size(), static_cast<std::size_t>(prefix_length));
    EXPECT_EQ(log.substr(prefix_length), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80xyz\r\n");
}

TEST_F(FileTrace, TextWrittenBeforeTheNameReachesTheFile) {
    cl::file_trace trace(timer_);
    trace.write("early\n", true);
    trace.flush(true);  // no path yet: nothing happens
    EXPECT_GT(trace.bytes_held(), 0);
    trace.set_file_name(log_);
    trace.write("late\n", true);
    trace.flush(true);
    const std::vector<std::string> lines = log_lines(read_file(log_));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(text_of(lines[0]), "early");
    EXPECT_EQ(text_of(lines[1]), "late");
}

TEST_F(FileTrace, NamingTheFileFlushesHeldTextWithoutAnotherWrite) {
    // Start-up messages written before the log is named must not wait for a later message.
    cl::file_trace trace(timer_);
    trace.write("before the name\n", true);
    trace.set_file_name(log_);
    ASSERT_TRUE(wait_until([&] { return !read_file(log_).empty(); }));
    const std::vector<std::string> lines = log_lines(read_file(log_));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(text_of(lines[0]), "before the name");
}

TEST_F(FileTrace, AppendsToAnExistingFile) {
    {
        cl::file_trace trace(timer_);
        trace.set_file_name(log_);
        trace.write("one\n", true);
    }  // the destructor flushes
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    trace.write("two\n", true);
    trace.close();
    const std::vector<std::string> lines = log_lines(read_file(log_));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(text_of(lines[0]), "one");
    EXPECT_EQ(text_of(lines[1]), "two");
}

TEST_F(FileTrace, ThresholdFlushesAtOnce) {
    cl::file_trace trace(timer_);
    trace.set_buffer_sizes(1024, 4096, 64);
    trace.set_file_name(log_);
    trace.write("short\n", true);  // below the threshold: waits for the timer
    trace.write("a line long enough to pass the flush threshold of sixty-four bytes\n", true);
    EXPECT_EQ(trace.bytes_held(), 0);
    EXPECT_EQ(log_lines(read_file(log_)).size(), 2u);
}

TEST_F(FileTrace, TimerWritesTheTextAboutOneSecondLater) {
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    trace.write("by the timer\n", true);
    EXPECT_TRUE(wait_until([&] { return read_file(log_).find("by the timer\r\n") != std::string::npos; }));
    EXPECT_TRUE(wait_until([&] { return trace.bytes_held() == 0; }));
}

TEST_F(FileTrace, LockedFileLosesNothingOnceReleased) {
    cl::file_trace trace(timer_);
    trace.set_buffer_sizes(4096, 65536, 256);
    trace.set_file_name(log_);
    HANDLE lock = ::CreateFileW(log_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 100; ++i) trace.write(("message " + std::to_string(i) + "\n").c_str(), true);
    EXPECT_GT(trace.bytes_held(), 0);  // the open failed: everything is still held
    ::CloseHandle(lock);
    ASSERT_TRUE(wait_until([&] { return trace.bytes_held() == 0; }));
    const std::vector<std::string> lines = log_lines(read_file(log_));
    ASSERT_EQ(lines.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(text_of(lines[i]), "message " + std::to_string(i));
}

TEST_F(FileTrace, FullBufferDropsTheOldestTextAndMarksTheGap) {
    cl::file_trace trace(timer_);
    trace.set_buffer_sizes(1024, 1024, 1 << 20);
    for (int i = 0; i < 100; ++i) trace.write(("line " + std::to_string(1000 + i) + "\n").c_str(), true);
    EXPECT_EQ(trace.capacity(), 1024);
    EXPECT_LE(trace.bytes_held(), 1024);
    trace.set_file_name(log_);
    trace.flush(true);
    const std::string log = read_file(log_);
    const std::size_t mark = log.find("\r\nbuffer overflow\r\n");
    ASSERT_NE(mark, std::string::npos) << log;
    // What follows the (last) mark is whole lines, the newest last.
    const std::size_t last_mark = log.rfind("\r\nbuffer overflow\r\n");
    const std::vector<std::string> lines = log_lines(log.substr(last_mark + 19));
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_TRUE(has_prefix(line)) << line;
    EXPECT_EQ(text_of(lines.back()), "line 1099");
    EXPECT_EQ(log.find("line 1000\r\n"), std::string::npos);
}

TEST_F(FileTrace, BufferGrowsByHalvesToTheMaximum) {
    struct {
        int initial, maximum;
        std::vector<int> sizes;
    } const cases[] = {
        {16384, 65536, {16384, 24576, 36864, 55296, 65536}},
        {100, 1000, {100, 160, 240, 368, 560, 848, 1000}},  // each step rounded up to 16
    };
    for (const auto& c : cases) {
        cl::file_trace trace(timer_);
        trace.set_buffer_sizes(c.initial, c.maximum, 1 << 30);
        std::vector<int> seen;
        int lines = 0;
        while (trace.capacity() < c.maximum && lines < 100000) {
            trace.write("0123456789\n", true);
            ++lines;
            if (seen.empty() || seen.back() != trace.capacity()) seen.push_back(trace.capacity());
        }
        EXPECT_EQ(seen, c.sizes);
        // Nothing was lost on the way.
        trace.set_file_name(dir_.file((L"grow" + std::to_wstring(c.initial) + L".log").c_str()));
        trace.flush(true);
        const std::string log = read_file(dir_.file((L"grow" + std::to_wstring(c.initial) + L".log").c_str()));
        EXPECT_EQ(log.find("buffer overflow"), std::string::npos);
        EXPECT_EQ(log_lines(log).size(), static_cast<std::size_t>(lines));
    }
}

TEST_F(FileTrace, RotationMovesTheLogToTheBackup) {
    const std::wstring backup = dir_.file(L"test.bak");
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    trace.set_backup_file(backup, 100);
    trace.write("small\n", true);
    trace.flush(true);
    EXPECT_TRUE(file_exists(log_));  // 18 bytes: below the limit
    EXPECT_FALSE(file_exists(backup));
    trace.write("a longer line that takes the log past its limit of one hundred bytes .......\n", true);
    trace.flush(false);  // no rotation without may_defer
    EXPECT_TRUE(file_exists(log_));
    trace.write("last\n", true);
    trace.flush(true);
    EXPECT_FALSE(file_exists(log_));
    const std::vector<std::string> old_lines = log_lines(read_file(backup));
    ASSERT_EQ(old_lines.size(), 3u);
    EXPECT_EQ(text_of(old_lines[2]), "last");
    trace.write("new\n", true);
    trace.flush(true);
    const std::vector<std::string> lines = log_lines(read_file(log_));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(text_of(lines[0]), "new");
    EXPECT_EQ(log_lines(read_file(backup)).size(), 3u);
}

TEST_F(FileTrace, BadInputIsHarmless) {
    cl::file_trace trace(timer_);
    trace.set_file_name(log_);
    trace.write(static_cast<const char*>(nullptr), true);
    trace.write(static_cast<const wchar_t*>(nullptr), true);
    trace.write("", true);
    trace.flush(true);
    EXPECT_FALSE(file_exists(log_));

    cl::file_trace off(timer_);
    off.set_buffer_sizes(0, 0, 0);  // a maximum of 0 turns the trace off
    off.set_file_name(log_);
    off.write("dropped\n", true);
    off.flush(true);
    EXPECT_EQ(off.bytes_held(), 0);
    EXPECT_FALSE(file_exists(log_));

    cl::file_trace bad_path(timer_);
    bad_path.set_file_name(dir_.file(L"no such folder\\x.log"));
    bad_path.write("kept\n", false);
    bad_path.flush(false);
    EXPECT_GT(bad_path.bytes_held(), 0);
}

TEST_F(FileTrace, ConcurrentWritersKeepTheirLinesWhole) {
    cl::file_trace trace(timer_);
    // Room for everything: a full buffer during a flush would drop text by design.
    trace.set_buffer_sizes(1 << 20, 1 << 20, 512);
    trace.set_file_name(log_);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&trace, t] {
            for (int i = 0; i < 300; ++i)
                trace.write(("thread " + std::to_string(t) + " line " + std::to_string(i) + "\n").c_str(), true);
        });
    }
    for (std::thread& th : threads) th.join();
    trace.flush(true);
    ASSERT_TRUE(wait_until([&] { return trace.bytes_held() == 0; }));
    const std::string log = read_file(log_);
    EXPECT_EQ(log.find("buffer overflow"), std::string::npos);
    const std::vector<std::string> lines = log_lines(log);
    ASSERT_EQ(lines.size(), 1200u);
    std::set<std::string> texts;
    for (const std::string& line : lines) {
        EXPECT_TRUE(has_prefix(line)) << line;
        texts.insert(text_of(line));
    }
    EXPECT_EQ(texts.size(), 1200u);
}

}  // namespace
