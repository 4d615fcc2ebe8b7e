// cl::window: the least windowing library a background program needs: a top-level window of a
// class the library registers, a C++ object behind it, and the thread's message loop.
//
// Ownership: the object owns its window; the destructor destroys it. The window procedure finds
// the object through the window's GWLP_USERDATA, stored at WM_NCCREATE and cleared at
// WM_NCDESTROY and in the destructor, so no message reaches a half-destroyed object.
// Threads: create, run_message_loop and the destructor belong on one thread, the one that owns
// the window; other threads talk to the window only through messages.
#pragma once

#include <windows.h>

#include <string>

namespace cl {

class window {
public:
    window() = default;
    window(const window&) = delete;
    window& operator=(const window&) = delete;

    // The virtual operations, in this order.

    // Gets every message of the window but WM_QUERYENDSESSION and returns its result; the
    // default passes it to DefWindowProcW.
    virtual LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
    // The answer to WM_QUERYENDSESSION (`flags` is its lParam); the default 1 lets the
    // log-off or shut-down go on.
    virtual LRESULT query_end_session(LPARAM flags);
    // Called by the library when run_message_loop has ended and at WM_ENDSESSION with wParam
    // TRUE (so possibly twice); the default does nothing.
    virtual void end_run();
    // Destroys the window if it still exists.
    virtual ~window();

    // Offered each message of run_message_loop after TranslateMessage; true consumes it (it is
    // not dispatched). The default consumes nothing.
    virtual bool pre_translate(MSG& message);

    // Creates the window, never shown unless `style` holds WS_VISIBLE. False when this object
    // already has a window or CreateWindowExW fails (GetLastError tells why).
    bool create(const std::wstring& title, DWORD style = 0, DWORD ex_style = 0,
                HWND parent = nullptr, HMENU menu = nullptr);
    // The window, or null before create and after the window was destroyed.
    HWND handle() const { return hwnd_; }

    // Runs the calling thread's message loop: GetMessageA with no window filter until it
    // returns 0 (WM_QUIT) or -1; each message goes through TranslateMessage, pre_translate
    // and, unless consumed, DispatchMessageA. Then calls end_run. Returns WM_QUIT's wParam,
    // or -1 when GetMessageA failed.
    int run_message_loop();

    // The class name the library registered for its windows (registered on first use).
    static const wchar_t* class_name();

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void end_session();

    HWND hwnd_ = nullptr;
};

}  // namespace cl
