#include "cl/window/window.h"

#include "cl/trace/trace.h"
#include "cl/trace/trace_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A sink that keeps what reaches cl::g_trace_out. Added once and never removed (the lists keep
// plain pointers), so it is never destroyed.
class capture_sink : public cl::trace_base {
public:
    using cl::trace_base::write;
    void write(const char* text, bool) override {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ += text;
    }
    std::string take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(text_, std::string());
    }

private:
    std::mutex mutex_;
    std::string text_;
};

capture_sink& trace_out_capture() {
    static capture_sink* sink = [] {
        auto* s = new capture_sink;
        cl::trace_add(&cl::g_trace_out, s);
        return s;
    }();
    return *sink;
}

// A window title no other test program of the machine uses at the same time.
std::wstring unique_title(const wchar_t* what) {
    static std::atomic<int> counter{0};
    return std::wstring(L"cl_window_test ") + what + L" " + std::to_wstring(::GetCurrentProcessId()) +
           L"." + std::to_wstring(++counter);
}

// Like the watchdog's main window: WM_CLOSE ends the loop. Records what it sees.
class test_window : public cl::window {
public:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_CLOSE) {
            close_thread = ::GetCurrentThreadId();
            ::PostQuitMessage(3);
        }
        if (message >= WM_APP) app_messages.push_back(message);
        return cl::window::handle_message(message, wparam, lparam);
    }
    void end_run() override { ++end_runs; }
    bool pre_translate(MSG& msg) override {
        if (msg.message == WM_APP + 1) {
            ++consumed;
            return true;
        }
        if (msg.message == WM_APP + 2) ::PostQuitMessage(0);
        return false;
    }

    DWORD close_thread = 0;
    int end_runs = 0;
    int consumed = 0;
    std::vector<UINT> app_messages;
};

class refusing_window : public cl::window {
public:
    LRESULT query_end_session(LPARAM flags) override {
        seen_flags = flags;
        return 0;
    }
    LPARAM seen_flags = 0;
};

// Polls FindWindowW until the title shows up, or gives up after a generous deadline.
HWND find_window(const std::wstring& title) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        if (HWND hwnd = ::FindWindowW(nullptr, title.c_str())) return hwnd;
        if (std::chrono::steady_clock::now() > deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST(window, close_from_another_thread_ends_the_loop) {
    std::wstring title = unique_title(L"close");
    test_window w;
    ASSERT_TRUE(w.create(title));
    ASSERT_NE(w.handle(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(w.handle()));
    EXPECT_EQ(::GetParent(w.handle()), nullptr);
    // One window per object.
    EXPECT_FALSE(w.create(title));

    DWORD loop_thread = ::GetCurrentThreadId();
    HWND found = nullptr;
    LRESULT query_answer = -1;
    std::thread other([&] {
        found = find_window(title);
        if (found == nullptr) {
            // Never leave the loop below waiting.
            ::PostThreadMessageW(loop_thread, WM_QUIT, 0, 0);
            return;
        }
        query_answer = ::SendMessageW(found, WM_QUERYENDSESSION, 0, 0);
        ::SendMessageW(found, WM_CLOSE, 0, 0);
    });
    int result = w.run_message_loop();
    other.join();

    ASSERT_NE(found, nullptr);
    EXPECT_EQ(query_answer, 1);
    // The handler ran on the window's thread, posted WM_QUIT(3), and the default handling
    // destroyed the window.
    EXPECT_EQ(w.close_thread, loop_thread);
    EXPECT_EQ(result, 3);
    EXPECT_EQ(w.end_runs, 1);
    EXPECT_EQ(w.handle(), nullptr);
    EXPECT_FALSE(::IsWindow(found));
}

TEST(window, pre_translate_sees_messages_before_dispatch) {
    test_window w;
    ASSERT_TRUE(w.create(unique_title(L"hook")));
    ::PostMessageW(w.handle(), WM_APP, 0, 0);
    ::PostMessageW(w.handle(), WM_APP + 1, 0, 0);
    ::PostMessageW(w.handle(), WM_APP + 2, 0, 0);
    EXPECT_EQ(w.run_message_loop(), 0);
    EXPECT_EQ(w.consumed, 1);
    EXPECT_EQ(w.app_messages, (std::vector<UINT>{WM_APP, WM_APP + 2}));
    EXPECT_EQ(w.end_runs, 1);
    // The loop's end does not destroy the window; the destructor will.
    EXPECT_TRUE(::IsWindow(w.handle()));
}

TEST(window, end_session_stops_and_traces) {
    capture_sink& capture = trace_out_capture();
    test_window w;
    ASSERT_TRUE(w.create(unique_title(L"session")));
    capture.take();

    // A cancelled end of session changes nothing.
    ::SendMessageW(w.handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(w.end_runs, 0);
    EXPECT_EQ(capture.take(), "");

    HWND hwnd = w.handle();
    std::thread other([&] { ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); });
    // The sent message is delivered while this thread waits in a message function.
    while (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 30000, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        if (w.end_runs > 0) break;
    }
    other.join();
    EXPECT_EQ(w.end_runs, 1);
    EXPECT_EQ(capture.take(), "end session\n");
}

TEST(window, query_end_session_answer_can_be_changed) {
    refusing_window w;
    ASSERT_TRUE(w.create(unique_title(L"refuse")));
    EXPECT_EQ(::SendMessageW(w.handle(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), 0);
    EXPECT_EQ(w.seen_flags, static_cast<LPARAM>(ENDSESSION_CLOSEAPP));
}

TEST(window, destructor_destroys_the_window) {
    HWND hwnd = nullptr;
    {
        auto w = std::make_unique<test_window>();
        ASSERT_TRUE(w->create(unique_title(L"destroy"), 0, WS_EX_TOOLWINDOW));
        hwnd = w->handle();
        EXPECT_TRUE(::IsWindow(hwnd));
        EXPECT_TRUE(::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        wchar_t cls[256] = {};
        ::GetClassNameW(hwnd, cls, 256);
        EXPECT_STREQ(cls, cl::window::class_name());
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    // An object that never created a window, and one whose window is already gone, are fine.
    { cl::window nothing; }
}

TEST(window, child_window_with_parent_and_id) {
    test_window parent;
    ASSERT_TRUE(parent.create(unique_title(L"parent")));
    test_window child;
    ASSERT_TRUE(child.create(L"child", WS_CHILD, 0, parent.handle(), reinterpret_cast<HMENU>(42)));
    EXPECT_EQ(::GetParent(child.handle()), parent.handle());
    EXPECT_EQ(::GetDlgCtrlID(child.handle()), 42);
}

}  // namespace
