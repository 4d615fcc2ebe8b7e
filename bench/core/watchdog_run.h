// The real tolvarn.exe in a temporary folder, for the benchmarks that measure it from outside:
// copies of the watchdog and of the test program sleeper.exe, a tolvarn.ini, the processes
// started from there (ended again by process id, never by name) and the watchdog's log.
#pragma once

#include "bench/bench_util.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// Process ids of every running process whose executable file name is `exe_name` (exact case).
inline std::vector<DWORD> find_processes(const std::wstring& exe_name) {
    std::vector<DWORD> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry))
        if (::lstrcmpiW(entry.szExeFile, exe_name.c_str()) == 0) ids.push_back(entry.th32ProcessID);
    ::CloseHandle(snapshot);
    return ids;
}

// Ends the process with id `id` and waits for its end; true when it was ended.
inline bool end_process(DWORD id) {
    HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!h) return false;
    const bool ended = ::TerminateProcess(h, 1) && ::WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
    ::CloseHandle(h);
    return ended;
}

// Local time of day in milliseconds of a UTC file time.
inline long long local_ms_of_day(const FILETIME& utc) {
    FILETIME local;
    if (!::FileTimeToLocalFileTime(&utc, &local)) return -1;
    const unsigned long long ticks = (static_cast<unsigned long long>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return static_cast<long long>(ticks / 10000 % 86400000ull);
}

// A time stamp HHMMSS'mmm as milliseconds of the day; -1 when `line` does not start with one.
inline long long stamp_ms(const std::string& line) {
    if (line.size() < 11 || line[6] != '\'' || line[10] != ' ') return -1;
    for (int i : {0, 1, 2, 3, 4, 5, 7, 8, 9})
        if (line[static_cast<std::size_t>(i)] < '0' || line[static_cast<std::size_t>(i)] > '9') return -1;
    auto two = [&](int at) { return (line[static_cast<std::size_t>(at)] - '0') * 10 + (line[static_cast<std::size_t>(at) + 1] - '0'); };
    const long long ms = (line[7] - '0') * 100 + (line[8] - '0') * 10 + (line[9] - '0');
    return ((two(0) * 60LL + two(2)) * 60 + two(4)) * 1000 + ms;
}

// Difference b - a of two times of day, taken across midnight when shorter that way.
inline long long ms_between(long long a, long long b) {
    long long d = b - a;
    if (d < -43200000) d += 86400000;
    if (d > 43200000) d -= 86400000;
    return d;
}

class watchdog_run {
public:
    // Copies tolvarn.exe into a new temporary folder.
    watchdog_run() : dir_(make_temp_dir(L"watchdog")) {
        if (!dir_.empty()) copy(L"tolvarn.exe", L"tolvarn.exe");
    }
    ~watchdog_run() {
        stop();
        for (DWORD id : started_) end_process(id);
        for (const std::wstring& name : programs_)
            for (DWORD id : find_processes(name))
                if (runs_from_here(id)) end_process(id);
        // Files stay locked for a moment after their processes ended.
        for (int i = 0; i < 100 && ::GetFileAttributesW(dir_.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
            remove_dir(dir_);
            ::Sleep(50);
        }
    }
    watchdog_run(const watchdog_run&) = delete;
    watchdog_run& operator=(const watchdog_run&) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::wstring& dir() const { return dir_; }

    // Copies a program of the build into the folder as `as_name`; the destructor ends every
    // process of that name that runs from this folder.
    bool copy(const std::wstring& program, const std::wstring& as_name) {
        if (as_name != L"tolvarn.exe") programs_.push_back(as_name);
        return ::CopyFileW((program_dir() + program).c_str(), (dir_ + as_name).c_str(), FALSE) != FALSE;
    }
    bool write_ini(const std::string& text) const { return write_file(dir_ + L"tolvarn.ini", text); }

    // True when the process with id `id` runs an executable of this folder.
    bool runs_from_here(DWORD id) const {
        HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (!h) return false;
        wchar_t path[MAX_PATH * 2];
        DWORD size = MAX_PATH * 2;
        const bool ok = ::QueryFullProcessImageNameW(h, 0, path, &size) != FALSE;
        ::CloseHandle(h);
        return ok && size > dir_.size() && ::CompareStringOrdinal(path, static_cast<int>(dir_.size()), dir_.c_str(),
                                                                  static_cast<int>(dir_.size()), TRUE) == CSTR_EQUAL;
    }

    // Starts a command line from the folder; answers the process handle (owned by the caller).
    HANDLE start(const std::wstring& command_line, bool remember = true) {
        std::vector<wchar_t> line(command_line.begin(), command_line.end());
        line.push_back(L'\0');
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &pi))
            return nullptr;
        ::CloseHandle(pi.hThread);
        if (remember) started_.push_back(pi.dwProcessId);
        return pi.hProcess;
    }
    // Starts the watchdog (application mode).
    bool start_watchdog() {
        watchdog_ = start(L"\"" + dir_ + L"tolvarn.exe\"", false);
        return watchdog_ != nullptr;
    }
    HANDLE watchdog() const { return watchdog_; }
    // Closes the watchdog with -stop_appl (ends it after 30 s otherwise).
    void stop() {
        if (!watchdog_) return;
        HANDLE stopper = start(L"\"" + dir_ + L"tolvarn.exe\" -stop_appl", false);
        if (stopper) {
            ::WaitForSingleObject(stopper, 30000);
            ::CloseHandle(stopper);
        }
        if (::WaitForSingleObject(watchdog_, 30000) != WAIT_OBJECT_0) {
            ::TerminateProcess(watchdog_, 1);
            ::WaitForSingleObject(watchdog_, 10000);
        }
        ::CloseHandle(watchdog_);
        watchdog_ = nullptr;
    }

    // The complete lines of the log (CR LF removed), time stamps included.
    std::vector<std::string> log_lines() const {
        std::vector<std::string> lines;
        const std::string text = read_file(dir_ + L"Tolvarn.log");
        std::size_t pos = 0;
        for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
            lines.push_back(text.substr(pos, end - pos));
        return lines;
    }

private:
    std::wstring dir_;
    std::vector<std::wstring> programs_;
    std::vector<DWORD> started_;
    HANDLE watchdog_ = nullptr;
};

}  // namespace bench
