#include "core/main_wnd.h"

#include "core/watch_cycle.h"

namespace tolvarn {

main_wnd::~main_wnd() = default;

bool main_wnd::create(const std::wstring& title) { return cl::window::create(title, 0, 0, nullptr, nullptr); }

LRESULT main_wnd::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) ::PostQuitMessage(0);
    return ::DefWindowProcW(handle(), message, wparam, lparam);
}

void main_wnd::end_run() { stop_watching(); }

bool close_main_window(const std::wstring& title, DWORD timeout_ms) {
    HWND window = ::FindWindowW(nullptr, title.c_str());
    // A plain SendMessageW would wait for ever on a thread that is busy (stopping the watch while a
    // long check runs, say); the caller's own bound must hold.
    DWORD_PTR result = 0;
    return window != nullptr && ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, timeout_ms, &result) != 0;
}

}  // namespace tolvarn
