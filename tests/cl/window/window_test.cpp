#include "cl/window/window.h"
#include "support/support.h"

#include <atomic>
#include <thread>

struct test_window : cl::window {
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_CLOSE) ::PostQuitMessage(3);
        if (message >= WM_APP) seen += message - WM_APP + 1;
        return cl::window::handle_message(message, wparam, lparam);
    }
    void end_run() override { ++end_runs; }
    bool pre_translate(MSG& msg) override { return msg.message == WM_APP + 1; }
    std::atomic<UINT> seen{0};
    int end_runs = 0;
};

TEST(Window, LoopEndsByCloseFromAnotherThreadAfterTheSessionMessages) {
    test_window w;
    ASSERT_TRUE(w.create(L"cl_window_test"));
    EXPECT_FALSE(w.create(L"cl_window_test") || ::IsWindowVisible(w.handle()));  // one hidden window per object
    ::PostMessageW(w.handle(), WM_APP + 1, 0, 0);  // consumed by pre_translate
    ::PostMessageW(w.handle(), WM_APP, 0, 0);
    ts::capture::out().clear();
    std::thread other([&] {
        ts::wait_until([&] { return w.seen.load() != 0; });
        const HWND found = ::FindWindowW(nullptr, L"cl_window_test");
        EXPECT_EQ(::SendMessageW(found, WM_QUERYENDSESSION, 0, 0), 1);  // the default lets the session end
        ::SendMessageW(found, WM_ENDSESSION, FALSE, 0);  // cancelled: changes nothing
        ::SendMessageW(found, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        ::SendMessageW(found, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(w.run_message_loop(), 3);
    other.join();
    EXPECT_EQ(w.seen.load(), 1u);
    EXPECT_EQ(w.end_runs, 2);  // at the end of the session and at the end of the loop
    EXPECT_EQ(ts::capture::out().text(), "end session\n");
    EXPECT_EQ(w.handle(), nullptr);  // WM_CLOSE's default handling destroyed it
    HWND hwnd = nullptr;
    {
        test_window second;
        ASSERT_TRUE(second.create(L"second", 0, WS_EX_TOOLWINDOW));
        hwnd = second.handle();
    }
    EXPECT_FALSE(::IsWindow(hwnd));  // the object's end destroys its window
}
