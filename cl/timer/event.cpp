#include "cl/timer/event.h"

namespace cl {

event::event() : handle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

bool event::set() { return handle_ && ::SetEvent(handle_.get()) != FALSE; }

bool event::reset() { return handle_ && ::ResetEvent(handle_.get()) != FALSE; }

bool event::wait(DWORD timeout_ms) {
    return handle_ && ::WaitForSingleObject(handle_.get(), timeout_ms) == WAIT_OBJECT_0;
}

bool event::wait() { return wait(INFINITE); }

HANDLE event::native_handle() const { return handle_.get(); }

}  // namespace cl
