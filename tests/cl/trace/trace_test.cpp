// Tests of the trace sinks, the lists and the global trace; with TRACE_CAMPAIGN the locked-log
// campaign alone, with TRACE_HELPER the program they start (for each subsystem).
#include "cl/timer/timers.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"

#ifdef TRACE_HELPER
#include <cstdlib>

// Names the global log after its argument, writes to the main and the error list, and returns
// while a callback on the slow timer is due that logs one more line while the process ends: the
// exit routine writes them all. The handle is never destroyed: it would wait for the callback.
static int run() {
    if (__argc < 2) return 2;
    cl::g_file_trace.set_file_name(__wargv[1]);
    cl::trace_write(&cl::g_trace_out, "helper line\n");
    cl::trace_write(&cl::g_trace_err, L"helper error \u00e9\n");
    cl::slow_timer().set_timer(*new cl::timer_handle, [] {
        ::Sleep(300);
        cl::trace_write(&cl::g_trace_out, "late line\n");
    }, 0, cl::timer_once);
    return 0;
}
#ifdef TRACE_HELPER_CONSOLE
int wmain() { return run(); }
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return run(); }
#endif
#else
#include "cl/file/file_hnd.h"
#include "cl/trace/lined_trace.h"
#include "cl/trace/trace_list.h"
#include "support/support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <future>
#include <regex>

namespace {

using lines = std::vector<std::string>;
[[maybe_unused]] lines operator+(lines a, const lines& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

// The texts behind the time stamps of a file's lines. The file must be valid UTF-8, and every line
// end in CR LF and start with a time stamp: HHMMSS'mmm and a space.
lines texts(const std::wstring& file) {
    static const std::regex stamp("([01][0-9]|2[0-3])[0-5][0-9][0-5][0-9]'[0-9]{3} [^\r]*");
    const std::string log = ts::read_file(file);
    EXPECT_GT(::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, log.data(), static_cast<int>(log.size()), nullptr, 0), 0);
    lines out;
    for (std::size_t pos = 0, end = 0; pos < log.size() && end != std::string::npos; pos = end + 2) {
        out.push_back(log.substr(pos, (end = log.find("\r\n", pos)) - pos));
        EXPECT_TRUE(end != std::string::npos && std::regex_match(out.back(), stamp)) << out.back();
        out.back().erase(0, 11);
    }
    return out;
}

std::string line(int i) { return "line " + std::to_string(i) + " \xC3\xA9\xE2\x82\xAC"; }
void write_line(cl::file_trace& trace, int i) { trace.write((line(i) + "\n").c_str(), true); }
lines numbered(int from, int to) { lines out; for (; from < to; ++from) out.push_back(line(from)); return out; }

class FileTrace : public ts::folder_test {
protected:
    cl::passive_timer timer_{"trace-test"};
    std::wstring log_ = path(L"test.log");
};

#ifdef TRACE_CAMPAIGN
// The log held open without sharing for 5 s (TOLVARN_LOG_LOCK_SECONDS sets another time) while
// 1,000 lines come at an even pace: none is lost once it is free.
TEST_F(FileTrace, LockedLogLosesNoLineOnceFree) {
    const char* seconds = std::getenv("TOLVARN_LOG_LOCK_SECONDS");
    const DWORD span = 1000 * static_cast<DWORD>(std::max(std::atoi(seconds ? seconds : "5"), 1));
    cl::file_trace trace(timer_);
    trace.set_buffer_sizes(16384, 65536, 4096);  // the process's own sizes
    trace.set_file_name(log_);
    const HANDLE lock = ::CreateFileW(log_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    for (DWORD start = ::GetTickCount(), i = 0; i < 1000; ++i) {
        write_line(trace, static_cast<int>(i));
        const int ahead = static_cast<int>(start + span * (i + 1) / 1000 - ::GetTickCount());
        if (ahead > 0) ::Sleep(static_cast<DWORD>(ahead));
    }
    EXPECT_GT(trace.bytes_held(), 20000);
    ::CloseHandle(lock);
    ASSERT_TRUE(ts::wait_until([&] { return trace.bytes_held() == 0; }));  // by the retry timer
    EXPECT_EQ(texts(log_), numbered(0, 1000));
}
#else
// A file trace with a test's action in its open hook; the action outlives the trace's destructor.
struct hook { std::function<void(CRITICAL_SECTION&, cl::file_hnd&)> opened; };
struct hooked : hook, cl::file_trace {
    using file_trace::file_trace;
    void on_opened(CRITICAL_SECTION& lock, cl::file_hnd& file) override {
        file_trace::on_opened(lock, file);
        if (opened) opened(lock, file);
    }
};

// One trace, each case to a file of its own: a line bears the local time of the write that began it.
TEST_F(FileTrace, LinesLineEndsAndTimeStamps) {
    const std::pair<std::vector<const char*>, lines> cases[] = {
        {{"first\nsecond\n"}, {"first", "second"}},
        {{"abc", nullptr, "", "def\n"}, {"abcdef"}},
        {{"a\r\nb\n", "c\r", "\nd\n"}, {"a", "b", "c", "d"}},
        {{"\n", "one\ntwo", " more\n"}, {"", "one", "two more"}},
    };
    auto now = [] { SYSTEMTIME t; ::GetLocalTime(&t); return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds; };
    cl::file_trace trace(timer_);
    for (int i = 0; i < 16; ++i) {
        const auto& c = cases[i % 4];
        trace.set_file_name(path(std::to_wstring(i)));
        const int before = now();
        for (const char* w : c.first) trace.write(w, true);
        const int after = now();
        EXPECT_TRUE(i > 0 || ts::wait_until([&] { return trace.bytes_held() == 0; }));
        trace.flush(true);
        const std::string log = ts::read_file(path(std::to_wstring(i)));
        EXPECT_TRUE(texts(path(std::to_wstring(i))) == c.second && trace.file_size() == static_cast<std::int64_t>(log.size())) << log;
        for (std::size_t pos = 0; pos < log.size(); pos = log.find('\n', pos) + 1) {
            const int stamp = ((std::stoi(log.substr(pos, 2)) * 60 + std::stoi(log.substr(pos + 2, 2))) * 60 +
                               std::stoi(log.substr(pos + 4, 2))) * 1000 + std::stoi(log.substr(pos + 7, 3));
            EXPECT_TRUE(after < before || (stamp >= before && stamp <= after)) << log;  // or midnight passed
            EXPECT_TRUE(c.first.size() > 1 || log.compare(0, 11, log, pos, 11) == 0) << log;
        }
    }
}

// A full buffer drops whole lines and puts a time-stamped mark where they are missing: the newest
// text while a flush, held up in its hook, has the buffer full (every line it holds arrives, in
// order), and the oldest lines while the log's folder is missing.
TEST_F(FileTrace, OverflowDropsWholeLinesAndMarksTheGaps) {
    const HANDLE entered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr), release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    hooked trace(timer_);
    trace.set_buffer_sizes(1024, 4096, 1 << 20);
    trace.set_file_name(log_);
    trace.opened = [&](CRITICAL_SECTION&, cl::file_hnd&) {
        if (::WaitForSingleObject(entered, 0) == WAIT_TIMEOUT) ::SignalObjectAndWait(entered, release, 30000, FALSE);
    };
    write_line(trace, 0);
    auto flusher = std::async(std::launch::async, [&] { trace.flush(false); });
    ::WaitForSingleObject(entered, 30000);
    for (int i = 1; i < 200; ++i) write_line(trace, i);
    ::SetEvent(release);
    flusher.get();
    trace.write("after\n", true);
    trace.flush(false);
    trace.set_file_name(path(L"no such folder\\x.log"));
    for (int i = 200; i < 400; ++i) write_line(trace, i);
    trace.set_file_name(log_);
    trace.flush(false);
    const lines got = texts(log_);
    const int kept = static_cast<int>(std::find(got.begin(), got.end(), "buffer overflow") - got.begin());
    EXPECT_TRUE(kept > 30 && got.size() > kept + 100u) << got.size();
    EXPECT_EQ(got, (numbered(0, kept) + lines{"buffer overflow", "after", "buffer overflow"} + numbered(kept + 403 - static_cast<int>(got.size()), 400)));
}

// A file that opens but takes no bytes (a full disk) is tried again a second later, not at once.
TEST_F(FileTrace, WritesWithoutProgressAreRetriedAfterASecond) {
    std::atomic<DWORD> first{0}, second{0};  // when the file was opened
    hooked trace(timer_);
    trace.opened = [&](CRITICAL_SECTION&, cl::file_hnd& file) {
        if (!second) (first ? second : first) = ::GetTickCount();
        file.close();
    };
    trace.set_file_name(log_);
    trace.write("x\n", false);
    trace.flush(true);
    ASSERT_TRUE(ts::wait_until([&] { return second != 0; }));
    EXPECT_GE(second - first, 500u);
    EXPECT_GT(trace.bytes_held(), 0);
}

struct failing_timer : cl::base_timer {  // cannot arm, as when it runs out of memory
    failing_timer() : base_timer(false) { set_active(true); }
    void wake() override { throw std::bad_alloc(); }
    void wait_for_scan() override {}
};

TEST_F(FileTrace, ExceptionsLeaveNeitherTheLockNorTheFlushingFlag) {
    failing_timer failing;
    hooked trace(failing);
    CRITICAL_SECTION* lock = nullptr;
    trace.opened = [&](CRITICAL_SECTION& l, cl::file_hnd&) { if (!lock) lock = &l, throw std::bad_alloc(); };
    trace.write("kept\n", true);
    EXPECT_THROW(trace.set_file_name(log_), std::bad_alloc);  // arming the timer fails
    EXPECT_THROW(trace.flush(false), std::bad_alloc);  // so does the hook
    EXPECT_TRUE(lock && std::async(std::launch::async, [&] { return ::TryEnterCriticalSection(lock) && (::LeaveCriticalSection(lock), true); }).get());
    trace.flush(false);
    EXPECT_EQ(texts(log_), lines{"kept"});
}

// The log, open during a burst, is read and moved away: a new log starts, every line is in one of the
// two; the file is closed a second after the last text, and the destructor writes what is held.
TEST_F(FileTrace, MovedMidBurstLosesNoLine) {
    const std::wstring moved = path(L"moved.log");
    std::atomic<bool> tried{false}, read{false}, done{false};
    int n = 0;
    {
        hooked trace(timer_);
        trace.opened = [&](CRITICAL_SECTION&, cl::file_hnd& file) {
            if (tried || file.size() == 0) return;
            read = ts::read_file(log_).find(line(0)) != std::string::npos;
            done = ::MoveFileW(log_.c_str(), moved.c_str()) != 0;
            tried = true;
        };
        trace.set_buffer_sizes(4096, 65536, 1024);
        trace.set_file_name(log_);
        for (const DWORD start = ::GetTickCount(); (!tried || (done && !ts::exists(log_))) && ::GetTickCount() - start < 30000;) {
            write_line(trace, n);
            if (++n % 10 == 0) ::Sleep(1);
        }
        ASSERT_TRUE(read && done);
        EXPECT_TRUE(ts::wait_until([&] {  // nobody holds the file once it is closed
            const HANDLE h = ::CreateFileW(log_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            return h != INVALID_HANDLE_VALUE && ::CloseHandle(h);
        }));
        write_line(trace, n++);
    }
    EXPECT_EQ(texts(moved) + texts(log_), numbered(0, n));
}

struct lined : cl::lined_trace {
    explicit lined(const char* prefix) : lined_trace(prefix) {}
    lines out;
    void output_line(const char* line) override { out.push_back(line); }
};

// Each case ends with two flushes: a partial line goes out unchanged, once.
TEST(LinedTrace, AssemblesLines) {
    const std::string x(254, 'x'), x253(253, 'x');
    const std::tuple<const char*, lines, lines> cases[] = {
        {"", {"a\r\nb\n", "\r\n", "c\r", "\nd\n", "e", "f\n", "partial"}, {"a\n", "b\n", "\n", "c\n", "d\n", "ef\n", "partial"}},
        {"", {x + "\n", x + "\r\ny\n", x, "\n", "z\n", x253 + "\r\n", x + x + "abc\n"},
         {x + "\n", x + "\n", "y\n", x + "\n", "z\n", x253 + "\n", x + "\n", x + "\n", "abc\n"}},
        {"0123456789abcdefXYZ", {"c\n"}, {"0123456789abcdefc\n"}},  // cut to 16 characters
        {nullptr, {"d\n"}, {"d\n"}},
    };
    for (const auto& c : cases) {
        lined trace(std::get<0>(c));
        trace.write(static_cast<const char*>(nullptr), true);
        for (const std::string& w : std::get<1>(c)) trace.write(w.c_str(), true);
        trace.flush(false);
        trace.flush(true);
        EXPECT_EQ(trace.out, std::get<2>(c)) << &c - cases;
    }
}

TEST(TraceList, WritesAndTheBacklog) {
    static cl::trace_list list;  // the capture stays in its list for the process's life
    ts::capture& sink = ts::capture::of(&list);
    EXPECT_FALSE(cl::trace_add(&list, &sink) || cl::trace_add(&list, nullptr) || cl::trace_add(nullptr, &sink));
    cl::trace_write(&list, "x\n");
    cl::trace_write(nullptr, "lost\n");
    // Wide text as UTF-8: each length's bounds, U+10000, U+10FFFF; lone surrogates are dropped.
    cl::trace_write(&list, std::wstring(L"A\x7F\x80\x7FF\x800\xFFFF\xD800\xDC00\xDBFF\xDFFF\xD800\xD801\xDC01\xD800" L"b\xDC00\xD800"));
    EXPECT_EQ(sink.text(), "x\nA\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xF0\x90\x90\x81" "b");
    // A list after its destructor, as the global lists are while other globals are destroyed.
    alignas(cl::trace_list) unsigned char storage[sizeof(cl::trace_list)];
    cl::trace_list* gone = new (storage) cl::trace_list;
    gone->~trace_list();
    EXPECT_TRUE(cl::trace_add(gone, &sink));  // accepted, not added
    cl::trace_write(gone, "ab\xE9\n");
    cl::trace_write(gone, L"\u00e9!");
    cl::trace_write(gone, std::string(400, 'z'));  // 255 characters at most
    EXPECT_EQ(std::wstring(cl::g_trace_backlog.text, cl::g_trace_backlog.length), L"ab?\n\u00e9!" + std::wstring(249, L'z'));
    sink.clear();
    cl::trace_replay_backlog(&list);
    cl::trace_replay_backlog(&list);  // empty now: nothing
    EXPECT_EQ(sink.text(), "ab?\n\xC3\xA9!" + std::string(249, 'z'));
    EXPECT_EQ(cl::g_trace_backlog.length, 0);
}

// The process's log: the start separator goes out by the timer once the log is named; a long line at
// once; the list flush rotates, but while the backup is locked the log is kept, then moved later.
TEST(GlobalTrace, SeparatorThresholdAndRotation) {
    ts::temp_dir dir;
    const std::wstring log = dir.file(L"global.log"), backup = dir.file(L"global.bak");
    cl::g_file_trace.set_file_name(log);
    ASSERT_TRUE(ts::wait_until([&] { return cl::g_file_trace.bytes_held() == 0; }));
    lines expected = {"", "", std::string(64, '-'), "", std::string(5000, 'b'), "after"};
    cl::trace_write(&cl::g_trace_log, expected[4] + "\n");
    EXPECT_EQ(texts(log), lines(expected.begin(), expected.end() - 1));
    cl::g_file_trace.set_backup_file(backup, 1);
    cl::trace_write(&cl::g_trace_out, "after\n");
    cl::g_file_trace.flush(false);  // no rotation without deferred work
    ts::write_file(backup, "older backup\r\n");
    const HANDLE lock = ::CreateFileW(backup.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    int n = 0;
    for (; ts::read_file(backup).find(" after\r\n") == std::string::npos && n < 3000; ++n) {
        cl::trace_write(&cl::g_trace_out, line(n) + "\n");
        cl::trace_flush(&cl::g_trace_out);
        if (n == 10) {
            EXPECT_EQ(texts(log), expected + numbered(0, 11));  // kept while the backup is locked
            ::CloseHandle(lock);
        }
        ::Sleep(10);
    }
    EXPECT_EQ(texts(backup) + texts(log), expected + numbered(0, n));
    cl::g_file_trace.set_file_name(L"");  // the folder goes away
}

// The helper of each subsystem: the log gets every line, the one a timer callback writes while the
// process ends included; only the console program writes the lists to standard output and error.
TEST(GlobalTrace, ProgramsOfBothSubsystems) {
    for (const std::wstring kind : {L"gui", L"console"}) {
        ts::temp_dir dir;
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = ::CreateFileW(dir.file(L"out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
        PROCESS_INFORMATION pi = {};
        std::wstring command = L"\"" + ts::build_dir() + L"cl_trace_" + kind + L"_helper.exe\" \"" + dir.file(L"log") + L"\"";
        ASSERT_TRUE(::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
        EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 1;
        EXPECT_TRUE(::GetExitCodeProcess(pi.hProcess, &code) && code == 0);
        for (HANDLE h : {si.hStdOutput, pi.hThread, pi.hProcess}) ::CloseHandle(h);
        EXPECT_EQ(texts(dir.file(L"log")), (lines{"", "", std::string(64, '-'), "", "helper line", "helper error \xC3\xA9", "late line"}));
        std::string out = ts::read_file(dir.file(L"out"));
        if (kind == L"console") out.erase(26, 1);  // the e-acute in the OEM code page
        EXPECT_EQ(out, kind == L"gui" ? "" : "helper line\r\nhelper error \r\nlate line\r\n");
    }
}
#endif

}  // namespace
#endif
