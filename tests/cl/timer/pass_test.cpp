// The pass of cl::base_timer driven by hand on the test thread, with a clock the test sets: exact
// firing counts, orders and wait times, independent of the machine's load.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cl/timer/base_timer.h"
#include "timer_test_util.h"

namespace {

std::atomic<uint32_t> g_tick{0};
DWORD WINAPI fake_ticks() { return g_tick.load(); }
cl::base_timer::tick_source fake_clock_from(uint32_t start_tick) {
    g_tick = start_tick;
    return &fake_ticks;
}

// A service without a thread: the test calls pass() itself.
class manual_timer : public cl::base_timer {
public:
    explicit manual_timer(uint32_t start_tick) : base_timer(false, fake_clock_from(start_tick)) {
        set_active(true);
    }
    uint32_t pass() {
        std::vector<HANDLE> handles;
        return process(handles);
    }
    uint32_t pass(std::vector<HANDLE>& handles) { return process(handles); }
    void deactivate() { set_active(false); }
    int wakes = 0;

protected:
    void wake() override { ++wakes; }
    void wait_for_scan() override {}
};

void advance(uint32_t ms) { g_tick += ms; }

TEST(TimerPass, ArmingAnArmedHandleKeepsItsScheduleUnlessForced) {
    manual_timer t(1000);
    cl::timer_handle h;
    std::string log;
    t.set_timer(h, [&] { log += "1"; }, 1000, 0);
    advance(500);
    t.set_timer(h, [&] { log += "2"; }, 100, 0);  // ignored: still armed
    advance(100);
    t.pass();
    EXPECT_EQ(log, "");
    advance(400);  // 1000 after the first arming
    t.pass();
    EXPECT_EQ(log, "1");

    t.set_timer(h, [&] { log += "3"; }, 100, 0, true);  // replaces interval and callback
    advance(100);
    t.pass();
    EXPECT_EQ(log, "13");
    advance(300);
    t.pass();
    EXPECT_EQ(log, "13333");  // three more 100-ms periods, none lost
}

TEST(TimerPass, OneShotHandleIsEmptyInItsCallbackAndCanBeArmedAgainThere) {
    manual_timer t(0);
    cl::timer_handle h;
    int runs = 0;
    std::vector<bool> armed_inside;
    std::function<void()> cb;
    cb = [&] {
        ++runs;
        armed_inside.push_back(h.armed());
        if (runs == 1) t.set_timer(h, [&] { cb(); }, 500, cl::timer_once);
    };
    t.set_timer(h, [&] { cb(); }, 200, cl::timer_once);
    EXPECT_TRUE(h.armed());
    advance(200);
    EXPECT_EQ(t.pass(), 500u);  // the re-armed one-shot is the next due
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(h.armed());
    advance(499);
    t.pass();
    EXPECT_EQ(runs, 1);
    advance(1);
    EXPECT_EQ(t.pass(), 0xFFFFFFFFu);  // nothing left, and the pass took no time
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(h.armed());
    EXPECT_EQ(armed_inside, (std::vector<bool>{false, false}));
    advance(10000);
    t.pass();
    EXPECT_EQ(runs, 2);
}

TEST(TimerPass, TimersDueInOnePassRunInArmingOrder) {
    manual_timer t(0);
    cl::timer_handle a, b, c;
    std::string log;
    t.set_timer(a, [&] { log += "a"; }, 300, 0);
    t.set_timer(b, [&] { log += "b"; }, 200, 0);
    t.set_timer(c, [&] { log += "c"; }, 100, 0);
    advance(300);
    EXPECT_EQ(t.pass(), 100u);
    // c's deadlines at 100, 200 and 300 all passed; its first firing still waits for a and b.
    EXPECT_EQ(log, "abccc");
}

// A 1000-ms timer whose first callback blocks for `block` ms; counts the firings of that pass.
struct catch_up_case {
    int64_t period;
    uint32_t block;
    unsigned flags;
    int firings;     // in the pass that ran the blocking callback, that one included
    uint32_t wait;   // answer of that pass
};

TEST(TimerPass, LateRepeatingTimerCatchesUpAtMostThreePeriods) {
    const catch_up_case cases[] = {
        {1000, 500, 0, 1, 500},               // not late: no catch-up
        {1000, 4000, 0, 5, 1000},             // recovery + the three periods missed meanwhile
        {1000, 10000, 0, 6, 1000},            // recovery, cut to three periods late, + the current
        {3599999, 10 * 3599999u, 0, 6, 3599999},
        {3600000, 10 * 3600000u, 0, 11, 3600000},  // long periods are never cut
        {1000, 10000, cl::timer_restart, 2, 1000},  // restart: once on recovery, then a full period
    };
    for (const catch_up_case& k : cases) {
        SCOPED_TRACE(testing::Message() << "period " << k.period << " block " << k.block);
        manual_timer t(0x1000);
        cl::timer_handle h;
        int firings = 0;
        t.set_timer(h, [&] { if (++firings == 1) advance(k.block); }, k.period, k.flags);
        advance(static_cast<uint32_t>(k.period));
        EXPECT_EQ(t.pass(), k.wait);
        EXPECT_EQ(firings, k.firings);
    }
}

TEST(TimerPass, ZeroAndHugePeriodsDoNotSpin) {
    for (int64_t zero : {int64_t{0}, int64_t{-5}}) {
        manual_timer t(0);
        cl::timer_handle periodic, restart, once;
        int p = 0, r = 0, o = 0;
        t.set_timer(periodic, [&] { ++p; }, zero, 0);
        t.set_timer(restart, [&] { ++r; }, zero, cl::timer_restart);
        t.set_timer(once, [&] { ++o; }, zero, cl::timer_once);  // a one-shot may fire at once
        EXPECT_EQ(t.pass(), static_cast<uint32_t>(cl::zero_period_substitute_ms));
        EXPECT_EQ(p + r + o, 1);
        advance(999);
        t.pass();
        EXPECT_EQ(p + r, 0);
        advance(1);
        EXPECT_EQ(t.pass(), 1000u);
        EXPECT_EQ(p, 1);
        EXPECT_EQ(r, 1);
    }
    manual_timer t(0xFFFFF000);
    cl::timer_handle h1, h2, h3;
    int fired = 0;
    t.set_timer(h1, [&] { ++fired; }, int64_t{1} << 31, 0);
    t.set_timer(h2, [&] { ++fired; }, int64_t{1} << 40, cl::timer_restart);
    t.set_timer(h3, [&] { ++fired; }, INT64_MAX, cl::timer_once);
    for (int i = 0; i < 50; ++i) {
        advance(1000);
        EXPECT_EQ(t.pass(), 0x7FFFFFFFu - 1000u * (i + 1));
    }
    EXPECT_EQ(fired, 0);
}

TEST(TimerPass, TickCountWrapAroundIsHarmless) {
    manual_timer t(0xFFFFFFFF - 2500);
    cl::timer_handle periodic, once;
    int p = 0, o = 0;
    t.set_timer(periodic, [&] { ++p; }, 1000, 0);
    t.set_timer(once, [&] { ++o; }, 2500, cl::timer_once);  // due on the wrap
    for (int i = 0; i < 10; ++i) {
        advance(1000);
        EXPECT_EQ(t.pass(), (i == 1) ? 500u : 1000u) << "pass " << i;
        EXPECT_EQ(p, i + 1);
    }
    EXPECT_EQ(o, 1);
    EXPECT_LT(g_tick.load(), 10000u);  // the clock did wrap

    // Armed across the wrap: the pass before the wrap, the arming after it.
    manual_timer u(0xFFFFFF00);
    cl::timer_handle h;
    int n = 0;
    u.pass();
    advance(0x200);
    u.set_timer(h, [&] { ++n; }, 1000, cl::timer_once);
    advance(999);
    u.pass();
    EXPECT_EQ(n, 0);
    advance(1);
    u.pass();
    EXPECT_EQ(n, 1);
}

TEST(TimerPass, CancelAnswersWhetherATimerWasArmed) {
    manual_timer t(0);
    cl::timer_handle h;
    int fired = 0;
    EXPECT_FALSE(t.cancel(h, true));
    EXPECT_FALSE(h.cancel());
    EXPECT_FALSE(h.armed());

    t.set_timer(h, [&] { ++fired; }, 100, 0);
    EXPECT_TRUE(h.cancel(false));
    EXPECT_FALSE(h.armed());
    EXPECT_FALSE(h.cancel(false));
    advance(1000);
    t.pass();
    EXPECT_EQ(fired, 0);

    // Stopped and armed again before the next pass: only the new timer lives.
    t.set_timer(h, [&] { fired += 10; }, 100, 0);
    EXPECT_TRUE(t.cancel(h, true));
    t.set_timer(h, [&] { fired += 1; }, 100, cl::timer_once);
    advance(100);
    t.pass();
    EXPECT_EQ(fired, 1);
}

TEST(TimerPass, CallbackMayStopAndArmTimersOfItsService) {
    manual_timer t(0);
    cl::timer_handle a, b, c;
    std::string log;
    t.set_timer(a, [&] {
        log += "a";
        EXPECT_TRUE(b.cancel(true));  // due in this pass too, yet it must not run
        EXPECT_TRUE(a.cancel(true));  // its own timer: returns at once
        t.set_timer(c, [&] { log += "c"; }, 0, cl::timer_once);
    }, 100, 0);
    t.set_timer(b, [&] { log += "b"; }, 100, 0);
    advance(100);
    t.pass();
    EXPECT_EQ(log, "a");
    EXPECT_GT(t.wakes, 0);  // the thread of a real service runs the next pass at once
    advance(1000);
    t.pass();
    EXPECT_EQ(log, "ac");
}

TEST(TimerPass, EmptyCallbackOrInactiveServiceArmsNothing) {
    cl::timer_handle h;
    manual_timer t(0);
    t.set_timer(h, cl::base_timer::callback(), 100, 0);
    EXPECT_FALSE(h.armed());
    t.set_timer(h, [] {}, 0, cl::timer_event);  // null event
    EXPECT_FALSE(h.armed());

    t.set_timer(h, [] {}, 100, 0);
    t.deactivate();
    cl::timer_handle other;
    t.set_timer(other, [] {}, 100, 0);
    EXPECT_FALSE(other.armed());
    EXPECT_FALSE(h.cancel(true));  // not active: answers false, yet lets the handle go
    EXPECT_FALSE(h.armed());
}

TEST(TimerPass, DestroyingTheServiceRunsNoCallbackAndDisarmsHandles) {
    cl::timer_handle a, b;
    int fired = 0;
    {
        manual_timer t(0);
        t.set_timer(a, [&] { ++fired; }, 10, 0);
        t.set_timer(b, [&] { ++fired; }, 10, cl::timer_once);
        advance(1000);
    }
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(a.armed());
    EXPECT_FALSE(b.armed());
}

TEST(TimerPass, EventDrivenTimersFireWhenTheirEventIsSet) {
    manual_timer t(0);
    cl::event repeat_ev, once_ev;
    cl::timer_handle repeat, once;
    int r = 0, o = 0;
    t.set_timer(repeat, [&] { ++r; }, timer_test::event_interval(repeat_ev), cl::timer_event);
    t.set_timer(once, [&] { ++o; }, timer_test::event_interval(once_ev), cl::timer_event | cl::timer_once);
    std::vector<HANDLE> handles;
    EXPECT_EQ(t.pass(handles), 0xFFFFFFFFu);
    EXPECT_EQ(handles, (std::vector<HANDLE>{repeat_ev.native_handle(), once_ev.native_handle()}));
    EXPECT_EQ(r + o, 0);

    repeat_ev.set();
    once_ev.set();
    t.pass(handles);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(o, 1);
    EXPECT_FALSE(repeat_ev.wait(0));  // a repeating event timer resets its event
    EXPECT_FALSE(once.armed());
    EXPECT_EQ(handles, (std::vector<HANDLE>{repeat_ev.native_handle()}));
    t.pass(handles);
    EXPECT_EQ(r, 1);
}

TEST(TimerPass, EventDrivenTimersAreLimitedToOneWait) {
    manual_timer t(0);
    std::vector<std::unique_ptr<cl::event>> events(cl::max_event_timers + 1);
    std::vector<std::unique_ptr<cl::timer_handle>> handles(cl::max_event_timers + 1);
    for (size_t i = 0; i < events.size(); ++i) {
        events[i] = std::make_unique<cl::event>();
        handles[i] = std::make_unique<cl::timer_handle>();
        t.set_timer(*handles[i], [] {}, timer_test::event_interval(*events[i]), cl::timer_event);
        EXPECT_EQ(handles[i]->armed(), i < cl::max_event_timers) << i;
    }
    cl::timer_handle timed;
    t.set_timer(timed, [] {}, 1000, 0);  // time-based timers are not limited
    EXPECT_TRUE(timed.armed());
    std::vector<HANDLE> wait_list;
    t.pass(wait_list);
    EXPECT_EQ(wait_list.size(), cl::max_event_timers);

    handles[0]->cancel(true);
    t.set_timer(*handles.back(), [] {}, timer_test::event_interval(*events.back()), cl::timer_event);
    EXPECT_TRUE(handles.back()->armed());
    for (auto& h : handles) h->cancel(true);  // before the events go
}

TEST(TimerPass, ExceptionFromCallbackPassesThroughAndLeavesTheServiceUsable) {
    manual_timer t(0);
    cl::timer_handle bad, good;
    int ok = 0;
    t.set_timer(bad, [] { throw std::runtime_error("callback"); }, 100, cl::timer_once);
    advance(100);
    EXPECT_THROW(t.pass(), std::runtime_error);
    t.set_timer(good, [&] { ++ok; }, 100, cl::timer_once);
    advance(100);
    t.pass();
    EXPECT_EQ(ok, 1);
}

}  // namespace
