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

}  // namespace tolvarn
