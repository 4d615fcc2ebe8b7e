#include "cl/window/window.h"

#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"

namespace cl {
namespace {

// Any object of this library: its address names the module the class is registered for, so
// that an executable and a DLL each holding a copy of the library register their own class.
const char module_marker = 0;

HINSTANCE library_module() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&module_marker), &module);
    return module;
}

}  // namespace

const wchar_t* window::class_name() {
    static const std::wstring name = [] {
        HINSTANCE module = library_module();
        std::wstring n = L"cl_window_" + std::to_wstring(reinterpret_cast<UINT_PTR>(module));
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &window::window_proc;
        wc.hInstance = module;
        wc.lpszClassName = n.c_str();
        // A failure shows when the first window is created.
        ::RegisterClassExW(&wc);
        return n;
    }();
    return name.c_str();
}

window::~window() {
    if (hwnd_ != nullptr) {
        // Detach first: the messages of the destruction must not reach an object whose
        // derived parts are already gone.
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

LRESULT window::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT window::query_end_session(LPARAM) {
    return 1;
}

void window::end_run() {}

bool window::pre_translate(MSG&) {
    return false;
}

bool window::create(const std::wstring& title, DWORD style, DWORD ex_style, HWND parent,
                    HMENU menu) {
    if (hwnd_ != nullptr) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    const wchar_t* cls = class_name();
    // hwnd_ is set at WM_NCCREATE; a creation refused later (WM_CREATE returning -1) has
    // already cleared it again at WM_NCDESTROY.
    HWND hwnd = ::CreateWindowExW(ex_style, cls, title.c_str(), style, 0, 0, 0, 0, parent,
                                  menu, library_module(), this);
    return hwnd != nullptr;
}

int window::run_message_loop() {
    MSG msg{};
    int result = -1;
    for (;;) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            result = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) break;
        ::TranslateMessage(&msg);
        if (!pre_translate(msg)) ::DispatchMessageA(&msg);
    }
    end_run();
    return result;
}

void window::end_session() {
    trace_write(&g_trace_out, "end session\n");
    end_run();
    g_file_trace.flush(false);
}

LRESULT CALLBACK window::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    window* self = nullptr;
    if (message == WM_NCCREATE) {
        // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find no object and get the default.
        self = static_cast<window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);

    switch (message) {
    case WM_QUERYENDSESSION:
        return self->query_end_session(lparam);
    case WM_ENDSESSION:
        if (wparam) self->end_session();
        break;
    case WM_NCDESTROY: {
        LRESULT result = self->handle_message(message, wparam, lparam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return result;
    }
    default:
        break;
    }
    return self->handle_message(message, wparam, lparam);
}

}  // namespace cl
