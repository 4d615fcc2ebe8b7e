// The pass of cl::base_timer driven by hand on the test thread, with a clock the test sets: exact
// firing counts, orders and wait times, independent of the machine's load.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cl/timer/base_timer.h"

namespace {

uint32_t g_tick = 0;
DWORD WINAPI fake_ticks() { return g_tick; }
void advance(uint32_t ms) { g_tick += ms; }

// A service without a thread: the test runs each pass itself.
struct manual_timer : cl::base_timer {
    explicit manual_timer(uint32_t start) : base_timer(false, (g_tick = start, &fake_ticks)) { set_active(true); }
    uint32_t pass() { return process(wait_list); }
    void deactivate() { set_active(false); }
    void wake() override { ++wakes; }
    void wait_for_scan() override {}
    std::vector<HANDLE> wait_list;
    int wakes = 0;
};

std::string g_log;
std::function<void()> put(const char* text) { return [text] { g_log += text; }; }

TEST(TimerPass, ScheduleKeptUnlessForcedRunInArmingOrderAcrossTheWrap) {
    manual_timer t(0xFFFFFF00);
    cl::timer_handle h, a, b;
    g_log.clear();
    advance(0x200);  // since the last pass, across the wrap: the first firing still comes 1000 after arming
    t.set_timer(h, put("1"), 1000, 0);
    advance(500);
    t.set_timer(h, put("2"), 100, 0);  // ignored: still armed
    advance(499);
    t.pass();
    EXPECT_EQ(g_log, "");
    advance(1);
    EXPECT_EQ(t.pass(), 1000u);
    t.set_timer(h, put("3"), 100, 0, true);  // replaces interval and callback
    t.set_timer(a, put("a"), 300, 0);
    t.set_timer(b, put("b"), 200, 0);
    advance(400);
    EXPECT_EQ(t.pass(), 100u);
    EXPECT_EQ(g_log, "13ab3b33");  // every deadline passed runs, in arming order within a repetition
}

TEST(TimerPass, LateRepeatingTimerCatchesUpAtMostThreePeriods) {
    // A timer whose first callback blocks for `block` ms: the firings of that pass and its answer.
    const struct { int64_t period; uint32_t block; unsigned flags; int firings; uint32_t wait; } rows[] = {
        {1000, 500, 0, 1, 500},                     // not late: no catch-up
        {1000, 4000, 0, 5, 1000},                   // recovery + the three periods missed meanwhile
        {1000, 10000, 0, 6, 1000},                  // recovery, cut to three periods late, + the current
        {3599999, 10 * 3599999u, 0, 6, 3599999},
        {3600000, 10 * 3600000u, 0, 11, 3600000},   // long periods are never cut
        {1000, 10000, cl::timer_restart, 2, 1000},  // restart: once on recovery, then a full period
    };
    for (const auto& k : rows) {
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
    cl::timer_handle periodic, restart, once, huge;
    g_log.clear();
    {
        manual_timer t(0);
        t.set_timer(huge, put("H"), INT64_MAX, cl::timer_restart);
        EXPECT_EQ(t.pass(), 0x7FFFFFFFu);  // cut to the longest period the countdown holds
        t.set_timer(periodic, put("p"), 0, 0);
        t.set_timer(restart, put("r"), -5, cl::timer_restart);
        t.set_timer(once, put("o"), 0, cl::timer_once);  // a one-shot may fire at once
        EXPECT_EQ(t.pass(), 1000u);  // the substitute period
        advance(999);
        t.pass();
        advance(1);
        EXPECT_EQ(t.pass(), 1000u);
    }
    EXPECT_FALSE(periodic.armed() || huge.armed());  // the destroyed service let its handles go
    EXPECT_EQ(g_log, "opr");
}

TEST(TimerPass, CancelAnswersWhetherArmedAndCallbacksMayStopAndArmTimers) {
    manual_timer t(0);
    cl::timer_handle h, a, b, c;
    g_log.clear();
    t.set_timer(h, put("x"), 100, 0);
    EXPECT_TRUE(h.cancel(false) && !h.cancel(false));  // true only while armed
    t.set_timer(h, put("h"), 100, cl::timer_once);  // stopped, armed again: only this one lives
    t.set_timer(a, [&] {
        g_log += "a";
        EXPECT_TRUE(b.cancel(true));  // due in this pass too, yet it must not run
        EXPECT_TRUE(a.cancel(true));  // its own timer: returns at once
        t.set_timer(c, [&] { g_log += c.armed() ? "C" : "c"; }, 0, cl::timer_once);  // empty in its callback
    }, 100, 0);
    t.set_timer(b, put("b"), 100, 0);
    advance(100);
    t.pass();
    EXPECT_GT(t.wakes, 0);  // the thread of a real service runs the next pass at once
    advance(1000);
    t.pass();
    EXPECT_EQ(g_log, "hac");
    // An empty callback or a null event arms nothing; nor does an inactive service.
    t.set_timer(h, cl::base_timer::callback(), 100, 0);
    t.set_timer(a, put("a"), 0, cl::timer_event);
    EXPECT_FALSE(h.armed() || a.armed());
    t.set_timer(h, put("h"), 100, 0);
    t.deactivate();
    t.set_timer(a, put("a"), 100, 0);
    EXPECT_FALSE(h.cancel(true) || h.armed() || a.armed());  // not active: answers false, yet lets the handle go
}

}  // namespace
