// The log file held open by another program without sharing for a while (5 s; set
// TOLVARN_LOG_LOCK_SECONDS, e.g. to 30, for a longer run) while 1,000 messages are written at an
// even pace: nothing is lost or reordered once the file is free again, as long as the held text
// stays below the buffer's maximum (the process's own sizes: 16,384 growing to 65,536 bytes,
// flush threshold 4,096).
#include "cl/trace/file_trace.h"
#include "cl/timer/passive_timer.h"
#include "trace_test_util.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using trace_test::read_file;
using trace_test::temp_dir;
using trace_test::wait_until;

int lock_seconds() {
    const char* value = std::getenv("TOLVARN_LOG_LOCK_SECONDS");
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : 5;
}

// The message texts of the log's lines (time stamp and CR LF removed).
std::vector<std::string> messages(const std::string& log) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (std::size_t end; (end = log.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        out.push_back(end - pos > 11 ? log.substr(pos + 11, end - pos - 11) : std::string());
    return out;
}

TEST(LogLock, MessagesWrittenWhileTheFileIsLockedAllArriveOnceItIsFree) {
    constexpr int count = 1000;
    const int seconds = lock_seconds();
    cl::passive_timer timer("log-lock-test");
    temp_dir dir;
    const std::wstring log = dir.file(L"locked.log");
    cl::file_trace trace(timer);
    trace.set_buffer_sizes(16384, 65536, 4096);
    trace.set_file_name(log);

    HANDLE lock = ::CreateFileW(log.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const DWORD start = ::GetTickCount();
    const DWORD span = static_cast<DWORD>(seconds) * 1000;
    char text[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "message %04d while the log is locked\n", i);
        trace.write(text, true);
        // An even pace over the lock's time, however long each write takes.
        const DWORD due = start + span * static_cast<DWORD>(i + 1) / count;
        const DWORD now = ::GetTickCount();
        if (static_cast<int>(due - now) > 0) ::Sleep(due - now);
    }
    EXPECT_EQ(read_file(log), "");         // nothing could reach the file
    EXPECT_GT(trace.bytes_held(), 30000);  // everything is still held
    ::CloseHandle(lock);

    // The retry timer writes it out within a second or two; no further write is needed.
    ASSERT_TRUE(wait_until([&] { return trace.bytes_held() == 0; }, 30000));
    const std::vector<std::string> lines = messages(read_file(log));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "message %04d while the log is locked", i);
        ASSERT_EQ(lines[static_cast<std::size_t>(i)], text) << "line " << i;
    }
}

}  // namespace
