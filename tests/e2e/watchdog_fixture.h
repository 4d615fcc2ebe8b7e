// Test fixture for end-to-end runs of the real tolvarn.exe: each test gets a fresh temporary folder with
// copies of tolvarn.exe and the helpers it asks for, writes tolvarn.ini there, starts the watchdog and
// reads the real Tolvarn.log. TearDown ends every process started from the folder and removes it.
#pragma once

#include "support/support.h"

#include <tlhelp32.h>
#include <algorithm>
#include <chrono>
#include <memory>

namespace e2e {

using namespace std::chrono_literals;
using ts::utf16;
using ts::utf8;

inline bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s) {
    return ts::wait_until(condition, static_cast<DWORD>(timeout.count()));
}

// Ends every running process named `exe_name` (any letter case) when `end`; answers how many there were.
inline int find_processes(const std::wstring& exe_name, bool end) {
    const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry)) {
        if (::lstrcmpiW(entry.szExeFile, exe_name.c_str()) != 0) continue;
        ++count;
        const HANDLE h = end ? ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID) : nullptr;
        if (h && ::TerminateProcess(h, 1)) ::WaitForSingleObject(h, 10000);
        if (h) ::CloseHandle(h);
    }
    ::CloseHandle(snap);
    return count;
}
inline int count_processes(const std::wstring& exe_name) { return find_processes(exe_name, false); }
inline int kill_processes(const std::wstring& exe_name) { return find_processes(exe_name, true); }

// A process started by the fixture (which owns the handle).
struct process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    // The exit code once it has ended, or STILL_ACTIVE when `timeout` passed first.
    DWORD wait(std::chrono::milliseconds timeout = 60s) const {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(handle, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0) ::GetExitCodeProcess(handle, &code);
        return code;
    }
};

class watchdog_test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.reset(new ts::temp_dir(dir_suffix_));
        ASSERT_TRUE(dir_->ok());
        copy_program(L"tolvarn.exe");
    }
    // The watchdog first, or it restarts what is ended next: then every program named like one of the
    // folder, whoever started it. Files may stay locked a moment after their processes end.
    void TearDown() override {
        for (const process& p : started_) ::TerminateProcess(p.handle, 1), ::WaitForSingleObject(p.handle, 10000), ::CloseHandle(p.handle);
        WIN32_FIND_DATAW data;
        const HANDLE find = ::FindFirstFileW(path(L"*.exe").c_str(), &data);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &data)) kill_processes(data.cFileName);
        ::FindClose(find);
        wait_until([&] { return ts::temp_dir::remove_tree(dir_->path()), !ts::exists(dir_->path()); }, 10s);
    }

    // The folder (with a trailing backslash), a path in it, a file written there with these bytes.
    const std::wstring& dir() const { return dir_->path(); }
    std::wstring path(const std::wstring& name) const { return dir_->file(name); }
    void write_text(const std::wstring& name, const std::string& bytes) const { ASSERT_TRUE(ts::write_file(path(name), bytes)); }
    void write_ini(const std::string& bytes) const { write_text(L"tolvarn.ini", bytes); }
    // Copies a program of the build into the folder as `as_name` (default: its own name); the copy's path.
    std::wstring copy_program(const std::wstring& program, const std::wstring& as_name = L"") const {
        const std::wstring target = path(as_name.empty() ? program : as_name);
        EXPECT_TRUE(::CopyFileW((ts::build_dir() + program).c_str(), target.c_str(), FALSE)) << utf8(program);
        return target;
    }

    // Starts a command line (current directory: `cwd`, default the folder).
    process start_program(std::wstring line, const std::wstring& cwd = L"") {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        const bool ok = ::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                         (cwd.empty() ? dir_->path() : cwd).c_str(), &startup, &info);
        EXPECT_TRUE(ok) << "cannot start " << utf8(line);
        if (ok) ::CloseHandle(info.hThread), started_.push_back(process{info.hProcess, info.dwProcessId});
        return ok ? started_.back() : process();
    }
    // The folder's tolvarn.exe with `arguments`: started; run to its end (its exit code); closing
    // a running one with -stop_appl (its exit code).
    process start_watchdog(const std::wstring& arguments = L"", const std::wstring& cwd = L"") {
        return start_program(L"\"" + path(L"tolvarn.exe") + L"\" " + arguments, cwd);
    }
    DWORD run_watchdog(const std::wstring& arguments, std::chrono::milliseconds timeout = 120s) {
        return start_watchdog(arguments).wait(timeout);
    }
    DWORD stop_watchdog(process& watchdog) {
        EXPECT_EQ(run_watchdog(L"-stop_appl"), 0u);
        return watchdog.wait();
    }

    // The log (UTF-8; "<missing>" when there is none), and its complete lines without time stamp and CR LF.
    std::string log_text() const { return ts::read_file(path(L"Tolvarn.log")); }
    std::vector<std::string> log_messages() const {
        std::vector<std::string> lines;
        const std::string text = log_text();
        for (std::size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
            const std::size_t from = end - pos >= 11 && text[pos + 6] == '\'' && text[pos + 10] == ' ' ? pos + 11 : pos;
            lines.push_back(text.substr(from, end - from));
        }
        return lines;
    }
    // How often the log holds `message`, or waiting until it does at least `count` times.
    int message_count(const std::string& message) const {
        const std::vector<std::string> lines = log_messages();
        return static_cast<int>(std::count(lines.begin(), lines.end(), message));
    }
    bool wait_for_message(const std::string& message, int count = 1, std::chrono::milliseconds timeout = 30s) const {
        return wait_until([&] { return message_count(message) >= count; }, timeout);
    }

    std::wstring dir_suffix_;  // appended to the folder's name (set it in a derived constructor)

private:
    std::unique_ptr<ts::temp_dir> dir_;
    std::vector<process> started_;
};

}  // namespace e2e
