#include "e2e/watchdog_fixture.h"

#include <tlhelp32.h>

#include <thread>

namespace e2e {

namespace {

std::wstring lower(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

std::wstring make_temp_dir(const std::wstring& suffix) {
    wchar_t base[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
    std::wstring root(base, n);
    static unsigned counter = 0;
    for (;;) {
        std::wstring dir = root + L"tolvarn_e2e_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                           std::to_wstring(::GetTickCount()) + L"_" + std::to_wstring(++counter) + suffix + L"\\";
        if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
    }
}

void remove_tree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(full + L"\\");
            } else {
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(dir.c_str());
}

process create(const std::wstring& command_line, const std::wstring& cwd) {
    std::vector<wchar_t> buffer(command_line.begin(), command_line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    process p;
    if (::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         cwd.empty() ? nullptr : cwd.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        p.handle = info.hProcess;
        p.id = info.dwProcessId;
    }
    return p;
}

}  // namespace

std::wstring build_dir() {
    std::wstring path(32768, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(n);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(20ms);
    }
}

namespace {
template <class F>
int for_each_process(const std::wstring& exe_name, F f) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    const std::wstring wanted = lower(exe_name);
    for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry)) {
        if (lower(entry.szExeFile) == wanted) {
            ++count;
            f(entry.th32ProcessID);
        }
    }
    ::CloseHandle(snap);
    return count;
}
}  // namespace

int count_processes(const std::wstring& exe_name) {
    return for_each_process(exe_name, [](DWORD) {});
}

int kill_processes(const std::wstring& exe_name) {
    int ended = 0;
    for_each_process(exe_name, [&](DWORD pid) {
        HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!h) return;
        if (::TerminateProcess(h, 1)) {
            ::WaitForSingleObject(h, 10000);
            ++ended;
        }
        ::CloseHandle(h);
    });
    return ended;
}

std::string read_file(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) content.append(buffer, got);
    ::CloseHandle(h);
    return content;
}

std::wstring utf16(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

DWORD process::wait(std::chrono::milliseconds timeout) const {
    if (!handle) return STILL_ACTIVE;
    if (::WaitForSingleObject(handle, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(handle, &code);
    return code;
}

bool process::running() const { return handle && ::WaitForSingleObject(handle, 0) == WAIT_TIMEOUT; }

void process::close() {
    if (handle) ::CloseHandle(handle);
    handle = nullptr;
}

void watchdog_test::SetUp() {
    dir_ = make_temp_dir(dir_suffix_);
    ASSERT_FALSE(dir_.empty());
    copy_program(L"tolvarn.exe");
}

void watchdog_test::TearDown() {
    // A watchdog still running would restart the programs ended below: close it first.
    for (auto& p : started_) {
        if (p.running()) {
            ::TerminateProcess(p.handle, 1);
            ::WaitForSingleObject(p.handle, 10000);
        }
    }
    // Programs the watchdog started are not in started_: end everything named like a file here.
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir_ + L"*.exe").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            kill_processes(data.cFileName);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    for (auto& p : started_) p.close();
    started_.clear();
    // Files may stay locked for a moment after their processes ended.
    wait_until([&] {
        remove_tree(dir_);
        return ::GetFileAttributesW(dir_.c_str()) == INVALID_FILE_ATTRIBUTES;
    }, 10s);
}

void watchdog_test::write_text(const std::wstring& name, const std::string& content) const {
    HANDLE h = ::CreateFileW(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
    ASSERT_EQ(written, content.size());
}

std::wstring watchdog_test::copy_program(const std::wstring& program, const std::wstring& as_name) const {
    const std::wstring target = path(as_name.empty() ? program : as_name);
    EXPECT_TRUE(::CopyFileW((build_dir() + program).c_str(), target.c_str(), FALSE))
        << "cannot copy " << utf8(program) << " error " << ::GetLastError();
    return target;
}

process watchdog_test::start_watchdog(const std::wstring& arguments, const std::wstring& cwd) {
    std::wstring line = L"\"" + path(L"tolvarn.exe") + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    process p = create(line, cwd.empty() ? dir_ : cwd);
    EXPECT_NE(p.handle, nullptr) << "cannot start tolvarn.exe, error " << ::GetLastError();
    if (p.handle) started_.push_back(p);
    return p;
}

DWORD watchdog_test::run_watchdog(const std::wstring& arguments, std::chrono::milliseconds timeout) {
    process p = start_watchdog(arguments);
    return p.wait(timeout);
}

DWORD watchdog_test::stop_watchdog(process& watchdog) {
    EXPECT_EQ(run_watchdog(L"-stop_appl"), 0u);
    return watchdog.wait(60s);
}

process watchdog_test::start_program(const std::wstring& command_line) {
    process p = create(command_line, dir_);
    EXPECT_NE(p.handle, nullptr) << "cannot start " << utf8(command_line);
    if (p.handle) started_.push_back(p);
    return p;
}

std::string watchdog_test::log_text() const { return read_file(path(L"Tolvarn.log")); }

std::vector<std::string> watchdog_test::log_messages() const {
    std::vector<std::string> messages;
    const std::string text = log_text();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) break;  // a line still being written
        std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        // HHMMSS'mmm and one space.
        if (line.size() >= 11 && line[6] == '\'' && line[10] == ' ') line.erase(0, 11);
        messages.push_back(line);
    }
    return messages;
}

int watchdog_test::message_count(const std::string& message) const {
    int n = 0;
    for (const auto& m : log_messages())
        if (m == message) ++n;
    return n;
}

bool watchdog_test::wait_for_message(const std::string& message, int count, std::chrono::milliseconds timeout) const {
    return wait_until([&] { return message_count(message) >= count; }, timeout);
}

}  // namespace e2e
