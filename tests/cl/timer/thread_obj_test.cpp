// cl::thread_obj: start, cooperative stop, termination, and the multiple-object wait.
#include <gtest/gtest.h>

#include <atomic>

#include "cl/timer/event.h"
#include "cl/timer/thread_obj.h"
#include "timer_test_util.h"

namespace {

std::atomic<int> g_hook_starts{0}, g_hook_ends{0};
void hook_start() { ++g_hook_starts; }
void hook_end() { ++g_hook_ends; }

class polite_thread : public cl::thread_obj {
public:
    ~polite_thread() override { stop(5000); }
    std::atomic<DWORD> ran_on{0};

protected:
    void run() override {
        ran_on = ::GetCurrentThreadId();
        while (!stop_requested()) wake_.wait(10000);
    }
    void signal_stop() override { wake_.set(); }

private:
    cl::event wake_;
};

// Ignores every stop request.
class stubborn_thread : public cl::thread_obj {
public:
    ~stubborn_thread() override {
        stop(0);
        if (self_) ::CloseHandle(self_);
    }
    HANDLE self() const { return self_; }
    cl::event in_run;

protected:
    void run() override {
        ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self_,
                          SYNCHRONIZE, FALSE, 0);
        in_run.set();
        for (;;) ::Sleep(10);
    }

private:
    HANDLE self_ = nullptr;
};

TEST(ThreadObj, StartsOnItsOwnThreadAndStopsWhenAsked) {
    polite_thread t;
    t.set_thread_hooks(&hook_start, &hook_end);
    EXPECT_FALSE(t.running());
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.running());
    const DWORD id = t.thread_id();
    ASSERT_TRUE(t.start());  // no second thread
    EXPECT_EQ(t.thread_id(), id);
    EXPECT_NE(id, ::GetCurrentThreadId());
    ASSERT_TRUE(timer_test::poll_until([&] { return t.ran_on.load() != 0; }));
    EXPECT_EQ(g_hook_starts.load(), 1);  // before run()
    EXPECT_TRUE(t.stop(5000));
    EXPECT_FALSE(t.running());
    EXPECT_EQ(t.thread_id(), 0u);
    EXPECT_EQ(t.ran_on.load(), id);
    EXPECT_EQ(g_hook_ends.load(), 1);
    EXPECT_TRUE(t.stop(5000));  // nothing to stop
}

TEST(ThreadObj, StopTerminatesAThreadThatDoesNotEnd) {
    stubborn_thread t;
    ASSERT_TRUE(t.start());
    ASSERT_TRUE(t.in_run.wait(20000));
    ASSERT_NE(t.self(), nullptr);
    EXPECT_FALSE(t.stop(100));
    EXPECT_FALSE(t.running());
    EXPECT_EQ(::WaitForSingleObject(t.self(), 20000), WAIT_OBJECT_0);
}

TEST(ThreadObj, WaitAnyAnswersTheSignalledIndex) {
    cl::event a, b;
    const std::vector<HANDLE> both{a.native_handle(), b.native_handle()};
    EXPECT_EQ(cl::thread_obj::wait_any({}, 0), cl::thread_obj::wait_failed);
    EXPECT_EQ(cl::thread_obj::wait_any(both, 10), cl::thread_obj::wait_failed);
    b.set();
    EXPECT_EQ(cl::thread_obj::wait_any(both, 10), 1u);
    EXPECT_EQ(cl::thread_obj::wait_any(both, 10, true), cl::thread_obj::wait_failed);
    a.set();
    EXPECT_EQ(cl::thread_obj::wait_any(both, 10, true), 0u);
    EXPECT_EQ(cl::thread_obj::wait_any({nullptr}, 0), cl::thread_obj::wait_failed);
}

}  // namespace
