// The watch cycle on a timer service and clock driven by hand, with a stand-in process list.
#include "cl/timer/base_timer.h"
#include "core/watch_cycle.h"
#include "support/support.h"

#include <tuple>

namespace tolvarn {
namespace {

DWORD g_now = 0xFFFF0000u;  // wraps during the tests
DWORD WINAPI fake_ticks() { return g_now; }
bool g_probe_works = true;
int g_probes = 0;  // checks so far: each takes one process list, which holds ten.exe only when g_running
bool g_running = false;
bool stand_in(std::vector<std::wstring>& list, std::vector<DWORD>*) {
    list = {L"other.exe"};
    if (g_running) list.push_back(L"TEN.exe");
    ++g_probes;
    return g_probe_works;
}

class watch_cycle : public ::testing::Test, cl::base_timer {
protected:
    watch_cycle() : base_timer(false, &fake_ticks) { set_active(true); }
    void SetUp() override {
        watch_platform_in_use = {this, &fake_ticks, &stand_in};
        g_probe_works = true;
        app_config = app_config_record();
        app_config.watches.resize(2);
        app_config.watches[0].name = L"ten.exe";
        app_config.watches[1].name = L"hour.exe";
        app_config.watches[1].interval = 3600;
        ts::capture::out().clear();
    }
    void TearDown() override {
        stop_watching();
        watch_platform_in_use = watch_platform();
    }
    void wake() override {}
    void wait_for_scan() override {}
    // Moves the clock on by each step's milliseconds and runs a pass, which must run that many checks.
    void steps(const std::vector<std::pair<DWORD, int>>& list) {
        std::vector<HANDLE> events;
        for (const auto& step : list) {
            const int before = g_probes;
            g_now += step.first;
            process(events);
            EXPECT_EQ(g_probes - before, step.second) << "step of " << step.first << " ms";
        }
    }
};

TEST_F(watch_cycle, checks_keep_their_schedule_and_one_due_many_times_at_once_runs_once) {
    app_config.watches[0].interval = 10;
    start_watching();
    EXPECT_EQ(ts::capture::out().lines(), (std::vector<std::string>{"Setting 10 second timer for ten.exe.",
                                                                    "Setting 3600 second timer for hour.exe."}));
    // A day asleep: each is due many times over and checks once; the schedule counts from the arming.
    steps({{9999, 0}, {1, 1}, {5000, 0}, {86400000, 2}, {1, 0}, {4998, 0}, {1, 1}, {9999, 0}});
    g_probe_works = false;
    steps({{1, 1}});
    EXPECT_EQ(ts::capture::out().lines().back(), "Cannot get process information.");
    stop_watching();
    steps({{86400000, 0}});
}

TEST_F(watch_cycle, initial_delay_then_timers_and_a_late_expiry_after_the_close_arms_nothing) {
    app_config.initial_delay = 2;
    app_config.watches[0].interval = 0;  // taken as one second, never as a busy loop
    start_watching();
    EXPECT_EQ(ts::capture::out().lines(), std::vector<std::string>{"Setting initial delay of 2 seconds."});
    steps({{1999, 0}, {1, 0}, {999, 0}, {1, 1}, {1000, 1}});
    stop_watching();

    // The delay expires on the timer thread and may come right after the close.
    ts::capture::out().clear();
    start_watching();
    stop_watching();
    start_watch_timers();
    steps({{86400000, 0}});
    EXPECT_EQ(ts::capture::out().lines(), std::vector<std::string>{"Setting initial delay of 2 seconds."});
}

TEST_F(watch_cycle, a_start_ended_within_min_uptime_holds_the_next_one_doubling_to_the_cap_until_one_stays_up) {
    watch_entry& ten = app_config.watches[0];
    ten.calls = {L"no_such_program.exe"};
    ten.restart_backoff = 35;
    ten.min_uptime = 65;
    app_config.watches[1].interval = 10;  // with nothing to start, nothing is held
    app_config.watches[1].restart_backoff = 35;
    start_watching();
    // Per step: seconds on, the program running, what that one check logged: m the missing line, S a
    // start, H<n> the hold line. A hold that ends between two checks brings one forward (at 105 s, 145 s).
    const std::vector<std::tuple<DWORD, bool, std::string>> table = {
        {10, 0, "mS"}, {10, 0, "mH10"}, {10, 0, "mS"}, {10, 0, "mH20"}, {10, 0, "m"}, {10, 0, "mS"}, {10, 0, "mH35"},
        {10, 0, "m"}, {10, 0, "m"}, {10, 0, "m"}, {5, 0, "mS"}, {5, 0, "mH35"}, {10, 0, "m"}, {10, 0, "m"}, {10, 0, "m"},
        {5, 0, "mS"}, {5, 1, ""}, {10, 1, ""}, {10, 1, ""}, {10, 1, ""}, {10, 1, ""}, {10, 1, ""}, {10, 0, "mS"},
        {10, 0, "mH10"}, {10, 1, ""}, {10, 0, "mS"}};
    for (std::size_t i = 0; i < table.size(); ++i) {
        ts::capture::out().clear();
        g_running = std::get<1>(table[i]);
        steps({{std::get<0>(table[i]) * 1000, i == 10 || i == 15 ? 1 : 2}});
        std::string did;
        for (const std::string& line : ts::capture::out().lines()) {
            if (line == "Program ten.exe is no longer running.") did += "m";
            if (line == "Calling no_such_program.exe." || line.find("hour.exe ended") != line.npos) did += "S";
            if (line.rfind("Program ten.exe ended again within 65 seconds; next start in ", 0) == 0) did += "H" + line.substr(61, line.size() - 70);
        }
        EXPECT_EQ(did, std::get<2>(table[i])) << "step " << i;
    }
}

}  // namespace
}  // namespace tolvarn
