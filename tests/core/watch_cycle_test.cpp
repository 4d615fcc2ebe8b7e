// The watch cycle on a timer service and clock driven by hand, with a stand-in process list, and
// the e-mail worker with a stand-in mail job.
#include "cl/timer/base_timer.h"
#include "core/mail_queue.h"
#include "core/watch_cycle.h"
#include "support/support.h"

#include <tuple>

namespace tolvarn {
namespace {

// The stand-in mail job records "subject|body|port|ssl" and then waits while `g_release` is reset.
std::mutex g_mail_lock;
std::vector<std::string> g_mails;
const HANDLE g_release = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
void record(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
            const std::vector<std::wstring>&, const std::vector<std::wstring>&, const std::wstring& subject,
            const std::wstring& body, const std::vector<std::wstring>&, const smtp_transport& transport) {
    {
        std::lock_guard<std::mutex> guard(g_mail_lock);
        g_mails.push_back(ts::utf8(subject + L"|" + body) + "|" + std::to_string(transport.port) +
                          (transport.use_ssl ? "|ssl" : ""));
    }
    ::WaitForSingleObject(g_release, INFINITE);
}
std::vector<std::string> mails(std::size_t wait_for = 0) {
    ts::wait_until([&] { return std::lock_guard<std::mutex>(g_mail_lock), g_mails.size() >= wait_for; });
    std::lock_guard<std::mutex> guard(g_mail_lock);
    return g_mails;
}
// The captured lines but those the worker writes before each send.
std::vector<std::string> check_lines() {
    std::vector<std::string> lines = ts::capture::out().lines();
    lines.erase(std::remove(lines.begin(), lines.end(), "Sending e-mail."), lines.end());
    return lines;
}

DWORD g_now = 0xFFFF0000u;  // wraps during the tests
DWORD WINAPI fake_ticks() { return g_now; }
bool g_probe_works = true;
int g_probes = 0;  // checks so far: each takes one process list
std::vector<std::wstring> g_running = {L"other.exe"};
bool stand_in(std::vector<std::wstring>& list, std::vector<DWORD>*) {
    list = g_running;
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
        g_probe_works = true;
        ts::capture::out().clear();
    }
    void TearDown() override {
        stop_watching();
        watch_platform_in_use = watch_platform();
        mail_sender = &send_mail;
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

TEST_F(watch_cycle, a_reminder_every_third_missing_check_and_one_notice_when_it_runs_again) {
    for (watch_entry& w : app_config.watches) w.interval = 10, w.mail_repeat = 3;
    watch_entry& ten = app_config.watches[0];
    ten.mail_from = L"a@b", ten.mail_to = {L"c@d"}, ten.mail_subject = L"down", ten.mail_body = L"gone";
    ten.mail_recovered = true;
    app_config.smtp_port = 587, app_config.smtp_ssl = true;
    mail_sender = &record;
    g_mails.clear();
    start_watching();
    ts::capture::out().clear();
    const std::string missing_ten = "Program ten.exe is no longer running.", missing_hour = "Program hour.exe is no longer running.";
    std::vector<std::string> expected;
    for (const char* checks : {"mmmmrrmmr", "m"}) {  // missing, running
        for (const char* c = checks; *c; ++c) {
            g_running = *c == 'r' ? std::vector<std::wstring>{L"ten.exe", L"hour.exe"} : std::vector<std::wstring>{};
            steps({{10000, 2}});
            if (*c == 'm') expected.insert(expected.end(), {missing_ten, missing_hour});
            if (*c == 'r' && c[-1] == 'm') expected.push_back("Program ten.exe is running again.");
        }
        stop_watching();  // a new run starts afresh
        start_watching();
        expected.insert(expected.end(), {"Setting 10 second timer for ten.exe.", "Setting 10 second timer for hour.exe."});
    }
    g_running = {L"other.exe"};
    EXPECT_EQ(check_lines(), expected);
    const std::string down = "down|gone|587|ssl", up = "ten.exe is running again|Program ten.exe is running again.|587|ssl";
    EXPECT_EQ(mails(6), (std::vector<std::string>{down, down, up, down, up, down}));
}

TEST(mail_queue_test, a_hundred_wait_in_order_the_next_is_dropped_and_a_stuck_worker_is_ended) {
    mail_sender = &record;
    g_mails.clear();
    ts::capture::out().clear();
    ::ResetEvent(g_release);
    mail_queue queue;
    mail_job job;
    for (int i = 0; i <= 101; ++i) {
        job.program = job.subject = L"p" + std::to_wstring(i);
        EXPECT_EQ(queue.post(job), i <= 100) << i;
        if (i == 0) mails(1);  // it is being sent: a hundred more may wait
    }
    EXPECT_EQ(check_lines(), std::vector<std::string>{"E-mail for p101 dropped: too many e-mails waiting."});
    ::SetEvent(g_release);
    const std::vector<std::string> sent = mails(101);
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(sent[i], "p" + std::to_string(i) + "||25") << i;

    // A send that never ends: the stop gives up on it after its bound and ends the worker.
    ts::wait_until([&] { return queue.waiting() == 0; });
    ::ResetEvent(g_release);
    EXPECT_TRUE(queue.post(job));
    mails(102);
    ts::capture::out().clear();
    EXPECT_FALSE(queue.stop(100));
    EXPECT_FALSE(queue.post(job));
    EXPECT_EQ(check_lines(), std::vector<std::string>{"Timed out waiting for e-mail thread shutdown. Terminating thread."});
    ::SetEvent(g_release);
    mail_sender = &send_mail;
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
        g_running = std::get<1>(table[i]) ? std::vector<std::wstring>{L"other.exe", L"TEN.exe"}
                                           : std::vector<std::wstring>{L"other.exe"};
        steps({{std::get<0>(table[i]) * 1000, i == 10 || i == 15 ? 1 : 2}});
        std::string did;
        for (const std::string& line : ts::capture::out().lines()) {
            if (line == "Program ten.exe is no longer running.") did += "m";
            if (line == "Calling no_such_program.exe." || line.find("hour.exe ended") != line.npos) did += "S";
            if (line.rfind("Program ten.exe ended again within 65 seconds; next start in ", 0) == 0) did += "H" + line.substr(61, line.size() - 70);
        }
        EXPECT_EQ(did, std::get<2>(table[i])) << "step " << i;
    }
    g_running = {L"other.exe"};
}

}  // namespace
}  // namespace tolvarn
