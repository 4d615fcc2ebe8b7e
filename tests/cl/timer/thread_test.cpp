// cl::passive_timer and cl::thread_obj on real threads, the global services, process exit; no timed asserts.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "cl/timer/timers.h"
#include "support/support.h"

namespace {

TEST(PassiveTimer, CallbacksRunOnItsThreadStopAndSyncWaitOnlyFromOtherThreads) {
    cl::passive_timer t("test", 0x10000);
    cl::event entered, release;
    std::atomic<int> step{0}, inside{-1};
    auto h = std::make_unique<cl::timer_handle>();
    t.set_timer(*h, [&] {
        if (++step == 1) inside = h->cancel(true) * 10 + t.sync(30000);  // neither may wait on its own thread
        entered.set();
        release.wait(60000);
        step += 10;
    }, 10, 0);
    ASSERT_TRUE(entered.wait(30000));
    EXPECT_EQ(inside.load(), 10);  // stopped, not synced
    EXPECT_FALSE(t.sync(200));  // bounded while a callback blocks
    t.set_timer(*h, [&] { step += 100; }, 0, cl::timer_once);  // armed again while its callback runs
    release.set();
    EXPECT_TRUE(t.sync(5000));  // a pass that began after the call: the one-shot ran
    EXPECT_EQ(step.load(), 111);
    entered.reset();
    t.set_timer(*h, [&] { entered.set(); ::Sleep(300); step = ::GetCurrentThreadId(); }, 10, 0);
    ASSERT_TRUE(entered.wait(30000));
    h.reset();  // the handle's destructor waits for the running callback
    EXPECT_EQ(static_cast<DWORD>(step.load()), t.thread_id());
}

TEST(PassiveTimer, EventDrivenTimersFillOneWaitAndWakeTheThread) {
    cl::passive_timer t("test");
    std::vector<std::unique_ptr<cl::event>> events(cl::max_event_timers + 1);
    std::vector<std::unique_ptr<cl::timer_handle>> handles(events.size());
    std::atomic<int> fired{0};
    for (size_t i = 0; i < events.size(); ++i) {  // the last one would be the wait's 65th handle
        events[i] = std::make_unique<cl::event>();
        handles[i] = std::make_unique<cl::timer_handle>();
        t.set_timer(*handles[i], [&, i] { fired += i == 0 ? 1 : 10; }, reinterpret_cast<intptr_t>(events[i].get()),
                    i == 0 ? cl::timer_event | cl::timer_once : cl::timer_event);
        EXPECT_EQ(handles[i]->armed(), i < cl::max_event_timers);
    }
    events[0]->set();
    events[cl::max_event_timers - 1]->set();
    ASSERT_TRUE(ts::wait_until([&] { return fired.load() == 11; }));
    EXPECT_FALSE(events[cl::max_event_timers - 1]->wait(0));  // reset by the service
    EXPECT_FALSE(handles[0]->armed());  // a one-shot fires once although its event stays set
    events[1]->set();
    ASSERT_TRUE(ts::wait_until([&] { return fired.load() == 21; }));
    EXPECT_EQ(cl::thread_obj::wait_any(std::vector<HANDLE>(MAXIMUM_WAIT_OBJECTS, events[0]->native_handle()), 0), 0u);
}

struct stubborn_thread : cl::thread_obj {  // ignores every stop request
    ~stubborn_thread() override { stop(0); }
    void run() override {
        in_run.set();  // a stop requested before run() would end the thread at once
        for (;;) ::Sleep(10);
    }
    cl::event in_run;
};

TEST(ThreadObj, StopTerminatesAThreadThatDoesNotEnd) {
    stubborn_thread t;
    ASSERT_TRUE(t.start() && t.in_run.wait(30000));
    cl::unique_kernel_handle thread(::OpenThread(SYNCHRONIZE, FALSE, t.thread_id()));
    EXPECT_FALSE(t.stop(100));
    EXPECT_EQ(::WaitForSingleObject(thread.get(), 30000), WAIT_OBJECT_0);
}

int threads_of_this_process() {
    cl::unique_file_handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = ::Thread32First(snapshot.get(), &entry); ok; ok = ::Thread32Next(snapshot.get(), &entry))
        n += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    return n;
}

TEST(GlobalTimers, SlowRunsFromTheStartFastFromItsFirstUseBothOnSmallStacks) {
    const int before = threads_of_this_process();
    cl::passive_timer& fast = cl::fast_timer();
    EXPECT_EQ(threads_of_this_process(), before + 1);
    for (cl::passive_timer* t : {&cl::slow_timer(), &fast}) {
        cl::timer_handle h;
        std::atomic<size_t> reservation{0};
        t->set_timer(h, [&] {  // the span of the stack's allocation
            MEMORY_BASIC_INFORMATION info{};
            ::VirtualQuery(&info, &info, sizeof info);
            const char* const first = static_cast<const char*>(info.AllocationBase);
            const char* end = first;
            while (::VirtualQuery(end, &info, sizeof info) && info.AllocationBase == first) end += info.RegionSize;
            reservation = static_cast<size_t>(end - first);
        }, 10, cl::timer_once);
        ASSERT_TRUE(ts::wait_until([&] { return reservation.load() != 0; }));
        EXPECT_LE(reservation.load(), 0x100000u);  // Wine's least; the executable's default is 2 MiB
    }
}

// Process exit with a callback of "slow" blocked for ever: the exit handler, the destructor's sync and
// the thread's stop wait 5 s each, then the thread is terminated. The program runs itself as the child.
TEST(TimerExit, DISABLED_ChildLeavesACallbackBlockedOnSlow) {
    cl::event entered;
    cl::slow_timer().set_timer(*new cl::timer_handle, [&entered] {  // never destroyed: it would wait
        entered.set();
        ::Sleep(INFINITE);
    }, 0, cl::timer_once);
    ASSERT_TRUE(entered.wait(30000));
}

TEST(TimerExit, ProcessExitDoesNotHangBehindABlockedCallback) {
    std::wstring command = L"child --gtest_also_run_disabled_tests --gtest_filter=TimerExit.DISABLED_*";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW((ts::build_dir() + L"cl_timer_test.exe").c_str(), &command[0], nullptr, nullptr,
                                 FALSE, 0, nullptr, nullptr, &si, &pi));
    cl::unique_kernel_handle process(pi.hProcess), thread(pi.hThread);
    const DWORD waited = ::WaitForSingleObject(process.get(), 120000);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 1);
    DWORD code = 1;
    EXPECT_TRUE(waited == WAIT_OBJECT_0 && ::GetExitCodeProcess(process.get(), &code) && code == 0);
}

}  // namespace
