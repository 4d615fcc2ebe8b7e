// Test fixture for end-to-end runs of the real tolvarn.exe.
//
// Each test gets a fresh temporary folder holding a copy of tolvarn.exe (and of the helper
// programs it asks for), writes its tolvarn.ini there, starts the watchdog with CreateProcessW,
// and reads the real Tolvarn.log. Every wait polls a condition against a generous deadline.
// TearDown closes the watchdog (-stop_appl), ends every process started from the folder and
// removes the folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

// The folder holding this test program (and every program of the build).
std::wstring build_dir();
// Polls `condition` every 20 ms until it holds or `timeout` passes; answers the last result.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s);
// Number of running processes whose executable file name equals `exe_name` (case-insensitive).
int count_processes(const std::wstring& exe_name);
// Ends every running process named `exe_name`; answers how many were ended.
int kill_processes(const std::wstring& exe_name);
// The whole file as bytes (opened with read/write/delete sharing); empty when missing.
std::string read_file(const std::wstring& path);
// UTF-8 to UTF-16.
std::wstring utf16(const std::string& utf8);
std::string utf8(const std::wstring& text);

// A process started by the fixture; its exit code once it has ended.
struct process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    // Waits for the end; answers the exit code, or STILL_ACTIVE when `timeout` passed first.
    DWORD wait(std::chrono::milliseconds timeout = 60s) const;
    bool running() const;
    void close();
};

class watchdog_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The test's folder, with a trailing backslash.
    const std::wstring& dir() const { return dir_; }
    std::wstring path(const std::wstring& name) const { return dir_ + name; }

    // Writes `content` (UTF-8, written as given: no byte-order mark unless included) to `name`.
    void write_text(const std::wstring& name, const std::string& content) const;
    void write_ini(const std::string& content) const { write_text(L"tolvarn.ini", content); }
    // Copies a program of the build into the folder under `as_name` (default: its own name).
    std::wstring copy_program(const std::wstring& program, const std::wstring& as_name = L"") const;

    // Starts the folder's tolvarn.exe with `arguments` (current directory: `cwd`, default the folder).
    process start_watchdog(const std::wstring& arguments = L"", const std::wstring& cwd = L"");
    // Runs tolvarn.exe with `arguments` to its end and answers its exit code.
    DWORD run_watchdog(const std::wstring& arguments, std::chrono::milliseconds timeout = 120s);
    // Closes a running watchdog with -stop_appl and waits for it to end; answers its exit code.
    DWORD stop_watchdog(process& watchdog);
    // Starts a program of the folder (full command line); the fixture ends it at TearDown.
    process start_program(const std::wstring& command_line);

    // The log as text (UTF-8), and its lines without time prefix and CR LF.
    std::string log_text() const;
    std::vector<std::string> log_messages() const;
    // Waits until a log message equals `message` at least `count` times.
    bool wait_for_message(const std::string& message, int count = 1, std::chrono::milliseconds timeout = 30s) const;
    int message_count(const std::string& message) const;

    // Appended to the name of the test's folder by SetUp (a derived fixture may set it in its
    // constructor, e.g. to get a folder whose path holds a space).
    std::wstring dir_suffix_;

private:
    std::wstring dir_;
    std::vector<process> started_;
};

}  // namespace e2e
