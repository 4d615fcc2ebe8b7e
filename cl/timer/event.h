// cl::event_base / cl::event: a waitable event.
//
// cl::event_base is the interface that event-driven timers (cl::timer_event) watch; cl::event owns
// one unnamed, manual-reset Windows event that starts not signalled. Every operation may be called
// from any thread; the object itself must outlive every waiter and every timer that watches it.
#pragma once

#include <windows.h>

#include "cl/base/unique_handle.h"

namespace cl {

class event_base {
public:
    virtual ~event_base() = default;

    // Signals the event; false when SetEvent fails.
    virtual bool set() = 0;
    // Clears the event; false when ResetEvent fails.
    virtual bool reset() = 0;
    // Waits up to `timeout_ms`; true when the event was signalled (false on time-out or failure).
    virtual bool wait(DWORD timeout_ms) = 0;
    // Waits without limit; true when the event was signalled (false when the wait failed).
    virtual bool wait() = 0;
    // The Windows handle, for multiple-object waits; still owned by the event.
    virtual HANDLE native_handle() const = 0;
};

class event : public event_base {
public:
    // Creates the event; when CreateEventW fails the handle is null and every operation fails.
    event();
    ~event() override = default;
    event(const event&) = delete;
    event& operator=(const event&) = delete;

    bool set() override;
    bool reset() override;
    bool wait(DWORD timeout_ms) override;
    bool wait() override;
    HANDLE native_handle() const override;

private:
    unique_kernel_handle handle_;
};

}  // namespace cl
