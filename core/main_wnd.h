// The hidden main window: found by its title and closed with WM_CLOSE by -stop_appl and by the
// service's stop control. Lives on the thread that runs the message loop.
#pragma once

#include "cl/window/window.h"

namespace tolvarn {

class main_wnd : public cl::window {
public:
    main_wnd() = default;
    ~main_wnd() override;

    // Creates the never-shown top-level window with `title`; false when Windows refuses.
    bool create(const std::wstring& title);

    // WM_CLOSE posts WM_QUIT (ending the loop) and is then handled as usual (the window is destroyed).
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    // After the loop and at WM_ENDSESSION: stop the watch cycle.
    void end_run() override;
};

// Sends WM_CLOSE to the top-level window titled `title` (of any process) and waits at most
// `timeout_ms` for its thread to take it. False when no such window exists or the wait ran out;
// a message not yet taken then is still delivered when that thread takes its messages again.
bool close_main_window(const std::wstring& title, DWORD timeout_ms);

}  // namespace tolvarn
