#include "core/process_probe.h"

#include "core/module_directory.h"
#include "core/text_util.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

using namespace tolvarn;

namespace {

// Polls `condition` until it holds or a generous deadline passes.
bool wait_until(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::size_t count_named(const std::wstring& name) {
    std::vector<std::wstring> list;
    if (!get_process_list(list)) return 0;
    return static_cast<std::size_t>(std::count_if(
        list.begin(), list.end(), [&](const std::wstring& n) { return equals_nocase(n, name); }));
}

TEST(get_process_list, lists_this_program_by_file_name) {
    std::vector<std::wstring> list{L"left over", L"from before"};
    ASSERT_TRUE(get_process_list(list));
    // Emptied before filling.
    EXPECT_EQ(std::count(list.begin(), list.end(), L"left over"), 0);
    std::wstring path = module_file_name();
    std::wstring own = path.substr(path.find_last_of(L"\\") + 1);
    EXPECT_NE(std::find_if(list.begin(), list.end(),
                           [&](const std::wstring& n) { return equals_nocase(n, own); }),
              list.end());
    for (const std::wstring& name : list) {
        EXPECT_EQ(name.find(L'\\'), std::wstring::npos) << "a bare file name, not a path";
        EXPECT_EQ(name.find(L'\0'), std::wstring::npos);
    }
}

// A copy of sleeper.exe under a name of its own, in a fresh temporary folder, so that other
// tests starting sleepers at the same time cannot disturb the counts.
class unique_sleeper_copy {
public:
    unique_sleeper_copy() {
        wchar_t temp[MAX_PATH + 1];
        DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        std::wstring tag = std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount());
        dir_ = std::wstring(temp, n) + L"probe_test_" + tag + L"\\";
        name_ = L"probe_sleeper_" + tag + L".exe";
        if (::CreateDirectoryW(dir_.c_str(), nullptr) &&
            ::CopyFileW((module_directory() + L"sleeper.exe").c_str(), path().c_str(), TRUE)) {
            ok_ = true;
        }
    }
    ~unique_sleeper_copy() {
        ::DeleteFileW(path().c_str());
        ::RemoveDirectoryW(dir_.c_str());
    }
    bool ok() const { return ok_; }
    const std::wstring& name() const { return name_; }
    std::wstring path() const { return dir_ + name_; }

private:
    std::wstring dir_, name_;
    bool ok_ = false;
};

TEST(get_process_list, sees_a_process_come_and_go) {
    unique_sleeper_copy copy;
    ASSERT_TRUE(copy.ok());
    EXPECT_EQ(count_named(copy.name()), 0u);

    std::wstring exe = copy.path();
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi));
    ::CloseHandle(pi.hThread);
    // Whatever happens below, the sleeper does not outlive the test (nor its folder).
    std::unique_ptr<void, void (*)(HANDLE)> process(pi.hProcess, [](HANDLE h) {
        ::TerminateProcess(h, 1);
        ::WaitForSingleObject(h, 10000);
        ::CloseHandle(h);
    });

    // Found without regard to the letter case of the name.
    std::wstring upper = copy.name();
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    EXPECT_TRUE(wait_until([&] { return count_named(upper) == 1; }));
    ASSERT_TRUE(::TerminateProcess(pi.hProcess, 7));
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(wait_until([&] { return count_named(copy.name()) == 0; }));
}

}  // namespace
