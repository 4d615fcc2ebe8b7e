// cl::passive_timer with its own thread: callbacks on the service's thread, cancel and sync across
// threads, and the global services. No assertion depends on how fast the machine is: the tests poll
// with generous deadlines and check orders, counts and lower bounds of tick counts.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "cl/timer/passive_timer.h"
#include "cl/timer/timers.h"
#include "timer_test_util.h"

using timer_test::poll_until;

namespace {

std::atomic<uint32_t> g_clock{0x10000};
DWORD WINAPI clock_ticks() { return g_clock.load(); }

// A service whose time only moves when the test moves it.
class clocked_timer : public cl::passive_timer {
public:
    clocked_timer() : passive_timer("clocked", &clock_ticks) {}
};

TEST(PassiveTimer, CallbacksRunOnTheServiceThread) {
    cl::passive_timer t("test");
    ASSERT_TRUE(t.active());
    cl::timer_handle h;
    std::atomic<DWORD> thread{0};
    t.set_timer(h, [&] { thread = ::GetCurrentThreadId(); }, 20, cl::timer_once);
    ASSERT_TRUE(poll_until([&] { return thread.load() != 0; }));
    EXPECT_EQ(thread.load(), t.thread_id());
    EXPECT_NE(thread.load(), ::GetCurrentThreadId());
    EXPECT_EQ(t.callback_count(), 1u);
}

TEST(PassiveTimer, BlockedTimerCatchesUpByTheServiceClock) {
    clocked_timer t;
    cl::timer_handle h;
    std::atomic<int> count{0};
    t.set_timer(h, [&] { if (++count == 1) g_clock += 4000; }, 1000, 0);
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(count.load(), 0);
    g_clock += 1000;
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(count.load(), 5);  // the blocked firing, the one on recovery and three more
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(count.load(), 5);
    g_clock += 1000;
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(count.load(), 6);
}

TEST(PassiveTimer, BlockedTimerCatchesUpWithoutFiringEarly) {
    cl::passive_timer t("test");
    cl::timer_handle h;
    std::vector<DWORD> ticks;  // written by the service thread only until count reaches 6
    std::atomic<int> count{0};
    std::atomic<DWORD> block_end{0};
    const DWORD armed = ::GetTickCount();
    t.set_timer(h, [&] {
        if (count.load() >= 6) return;
        ticks.push_back(::GetTickCount());
        if (++count == 1) {
            ::Sleep(4000);
            block_end = ::GetTickCount();
        }
    }, 1000, 0);
    ASSERT_TRUE(poll_until([&] { return count.load() >= 6; }, 60000));
    h.cancel(true);
    ASSERT_EQ(ticks.size(), 6u);
    // Firing k is owed at the k-th deadline and never comes before it: a timer that fired more
    // than the missed periods after the block would break this.
    for (size_t k = 0; k < ticks.size(); ++k) {
        EXPECT_GE(ticks[k] - armed, 1000u * (k + 1)) << "firing " << k + 1;
    }
    // Deadlines 2 to 5 passed during the block and are made up at once, not one period apart.
    EXPECT_GE(ticks[1], block_end.load());
    EXPECT_LT(ticks[4] - block_end.load(), 2500u);
}

TEST(PassiveTimer, CancelWithWaitReturnsAfterTheRunningCallback) {
    cl::passive_timer t("test");
    cl::event entered;
    std::atomic<bool> finished{false};
    cl::timer_handle h;
    t.set_timer(h, [&] {
        entered.set();
        ::Sleep(300);
        finished = true;
    }, 10, 0);
    ASSERT_TRUE(entered.wait(20000));
    EXPECT_TRUE(t.cancel(h, true));
    EXPECT_TRUE(finished.load());
    EXPECT_FALSE(h.armed());
}

TEST(PassiveTimer, HandleDestructorWaitsForTheRunningCallback) {
    cl::passive_timer t("test");
    cl::event entered;
    std::atomic<bool> finished{false};
    auto h = std::make_unique<cl::timer_handle>();
    t.set_timer(*h, [&] {
        entered.set();
        ::Sleep(300);
        finished = true;
    }, 10, 0);
    ASSERT_TRUE(entered.wait(20000));
    h.reset();
    EXPECT_TRUE(finished.load());
}

TEST(PassiveTimer, CancelFromInsideTheCallbackDoesNotWait) {
    cl::passive_timer t("test");
    cl::timer_handle h;
    std::atomic<int> runs{0};
    std::atomic<int> answer{-1};
    t.set_timer(h, [&] {
        ++runs;
        answer = h.cancel(true) ? 1 : 0;
    }, 10, 0);
    ASSERT_TRUE(poll_until([&] { return answer.load() != -1; }));
    EXPECT_EQ(answer.load(), 1);
    EXPECT_FALSE(h.armed());
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(runs.load(), 1);
}

TEST(PassiveTimer, SyncWaitsForAPassThatBeginsAfterTheCall) {
    cl::passive_timer t("test");
    cl::timer_handle h;
    std::atomic<int> runs{0};
    for (int i = 1; i <= 3; ++i) {
        t.set_timer(h, [&] { ++runs; }, 0, cl::timer_once);
        ASSERT_TRUE(t.sync(5000));
        EXPECT_EQ(runs.load(), i);
    }
    // From the service's own thread it cannot wait for itself.
    std::atomic<int> inside{-1};
    t.set_timer(h, [&] { inside = t.sync(20000) ? 1 : 0; }, 0, cl::timer_once);
    ASSERT_TRUE(poll_until([&] { return inside.load() != -1; }, 15000));
    EXPECT_EQ(inside.load(), 0);
}

TEST(PassiveTimer, SyncIsBoundedWhenACallbackBlocks) {
    cl::passive_timer t("test");
    cl::event entered, release;
    cl::timer_handle h;
    t.set_timer(h, [&] {
        entered.set();
        release.wait(60000);
    }, 0, cl::timer_once);
    ASSERT_TRUE(entered.wait(20000));
    EXPECT_FALSE(t.sync(200));
    release.set();
    EXPECT_TRUE(t.sync(5000));
}

TEST(PassiveTimer, ZeroAndHugePeriodsDoNotSpin) {
    cl::passive_timer t("test");
    cl::timer_handle zero, zero_restart, huge, huge_restart, marker;
    std::atomic<int> zeros{0}, huges{0};
    std::atomic<DWORD> second_zero{0};
    const DWORD armed = ::GetTickCount();
    t.set_timer(zero, [&] { if (++zeros == 2) second_zero = ::GetTickCount(); }, 0, 0);
    t.set_timer(zero_restart, [] {}, 0, cl::timer_restart);
    t.set_timer(huge, [&] { ++huges; }, int64_t{1} << 31, 0);
    t.set_timer(huge_restart, [&] { ++huges; }, (int64_t{1} << 32) + 5, cl::timer_restart);
    ASSERT_TRUE(poll_until([&] { return zeros.load() >= 2; }));
    // Two firings take two substitute periods, so a watched program is checked every second.
    EXPECT_GE(second_zero.load() - armed, 2u * cl::zero_period_substitute_ms);
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(huges.load(), 0);
    EXPECT_LT(t.callback_count(), 20u);
}

TEST(PassiveTimer, DestroyingTheServiceRunsNoCallback) {
    std::atomic<int> fired{0};
    cl::event never;
    cl::timer_handle a, b, c, d;
    {
        cl::passive_timer t("test");
        t.set_timer(a, [&] { ++fired; }, 60000, 0);
        t.set_timer(b, [&] { ++fired; }, 60000, cl::timer_once);
        t.set_timer(c, [&] { ++fired; }, 60000, cl::timer_restart);
        t.set_timer(d, [&] { ++fired; }, timer_test::event_interval(never), cl::timer_event);
        ASSERT_TRUE(t.sync(5000));
    }
    EXPECT_EQ(fired.load(), 0);
    EXPECT_FALSE(a.armed() || b.armed() || c.armed() || d.armed());
}

TEST(PassiveTimer, EventDrivenTimersWakeTheThread) {
    cl::passive_timer t("test");
    std::vector<std::unique_ptr<cl::event>> events;
    std::vector<std::unique_ptr<cl::timer_handle>> handles;
    std::atomic<int> last{0}, first{0};
    // A full wait: the events of the limit plus the service's own.
    for (size_t i = 0; i < cl::max_event_timers; ++i) {
        events.push_back(std::make_unique<cl::event>());
        handles.push_back(std::make_unique<cl::timer_handle>());
        std::atomic<int>& counter = i == 0 ? first : last;
        t.set_timer(*handles.back(), [&counter] { ++counter; }, timer_test::event_interval(*events.back()),
                    i == 0 ? cl::timer_event | cl::timer_once : cl::timer_event);
        ASSERT_TRUE(handles.back()->armed());
    }
    ASSERT_TRUE(t.sync(5000));
    events.back()->set();
    ASSERT_TRUE(poll_until([&] { return last.load() == 1; }));
    ASSERT_TRUE(t.sync(5000));
    EXPECT_FALSE(events.back()->wait(0));  // reset by the service
    events.back()->set();
    ASSERT_TRUE(poll_until([&] { return last.load() == 2; }));

    events.front()->set();
    ASSERT_TRUE(poll_until([&] { return first.load() == 1; }));
    EXPECT_FALSE(handles.front()->armed());
    ASSERT_TRUE(t.sync(5000));
    EXPECT_EQ(first.load(), 1);  // a one-shot fires once although its event stays set

    // Stopped with wait, an event-driven timer no longer has its event waited on: it may go.
    EXPECT_TRUE(handles.back()->cancel(true));
    events.back().reset();
    ASSERT_TRUE(t.sync(5000));
    events[1]->set();
    ASSERT_TRUE(poll_until([&] { return last.load() == 3; }));
    handles.clear();
}

TEST(PassiveTimer, ArmingOnAnotherServiceMovesTheHandle) {
    cl::passive_timer first("first"), second("second");
    cl::timer_handle h;
    std::atomic<int> on_first{0}, on_second{0};
    const DWORD armed = ::GetTickCount();
    first.set_timer(h, [&] { ++on_first; }, 50, cl::timer_once);
    second.set_timer(h, [&] { ++on_second; }, 50, cl::timer_once);
    ASSERT_TRUE(poll_until([&] { return on_second.load() == 1; }));
    ASSERT_TRUE(poll_until([&] { return ::GetTickCount() - armed > 200; }));
    ASSERT_TRUE(first.sync(5000));
    EXPECT_EQ(on_first.load(), 0);
}

std::atomic<bool> g_gate_open{false};
std::atomic<int> g_gate_asked{0};
bool test_gate(bool begin) {
    if (begin) ++g_gate_asked;
    return g_gate_open.load();
}

TEST(PassiveTimer, PassGatePostponesPasses) {
    cl::passive_timer t("test");
    t.set_pass_gate(&test_gate);
    cl::timer_handle h;
    std::atomic<int> fired{0};
    t.set_timer(h, [&] { ++fired; }, 0, cl::timer_once);
    ASSERT_TRUE(poll_until([] { return g_gate_asked.load() >= 20; }));
    EXPECT_EQ(fired.load(), 0);
    g_gate_open = true;
    ASSERT_TRUE(poll_until([&] { return fired.load() == 1; }));
    t.set_pass_gate(nullptr);
}

TEST(GlobalTimers, BothServicesExistAndRun) {
    cl::passive_timer& slow = cl::slow_timer();
    cl::passive_timer& fast = cl::fast_timer();
    EXPECT_NE(&slow, &fast);
    EXPECT_EQ(&slow, &cl::slow_timer());
    EXPECT_TRUE(slow.active());
    EXPECT_TRUE(fast.active());
    EXPECT_NE(slow.thread_id(), fast.thread_id());
    cl::timer_handle h;
    std::atomic<DWORD> thread{0};
    slow.set_timer(h, [&] { thread = ::GetCurrentThreadId(); }, 10, cl::timer_once);
    ASSERT_TRUE(poll_until([&] { return thread.load() != 0; }));
    EXPECT_EQ(thread.load(), slow.thread_id());
}

}  // namespace
