// Process exit with the global services: the exit handlers and the destructors give a blocked
// callback bounded time only. The test program runs itself again as the child that blocks.
#include <gtest/gtest.h>

#include <string>

#include "cl/base/unique_handle.h"
#include "cl/timer/timers.h"

namespace {

const wchar_t child_variable[] = L"CL_TIMER_TEST_EXIT_CHILD";

TEST(TimerExitChild, LeavesACallbackBlockedOnSlow) {
    if (::GetEnvironmentVariableW(child_variable, nullptr, 0) == 0) GTEST_SKIP() << "child only";
    // Never destroyed: its destructor would wait for the callback, which never returns.
    cl::timer_handle* h = new cl::timer_handle;
    cl::event entered;
    cl::slow_timer().set_timer(*h, [&entered] {
        entered.set();
        ::Sleep(INFINITE);
    }, 0, cl::timer_once);
    ASSERT_TRUE(entered.wait(20000));
}

TEST(TimerExit, ProcessExitDoesNotHangBehindABlockedCallback) {
    wchar_t exe[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=TimerExitChild.*";
    ASSERT_TRUE(::SetEnvironmentVariableW(child_variable, L"1"));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL created = ::CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                    &si, &pi);
    ::SetEnvironmentVariableW(child_variable, nullptr);
    ASSERT_TRUE(created) << ::GetLastError();
    cl::unique_kernel_handle process(pi.hProcess), thread(pi.hThread);
    // Three waits of 5 s for "slow" (exit handler, destructor's sync, thread stop), then it is
    // terminated; a hang would last for ever.
    DWORD waited = ::WaitForSingleObject(process.get(), 120000);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 1);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    DWORD code = 1;
    ASSERT_TRUE(::GetExitCodeProcess(process.get(), &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
