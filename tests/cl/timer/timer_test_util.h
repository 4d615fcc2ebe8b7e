// Helpers shared by the timer tests.
#pragma once

#include <windows.h>

#include <cstdint>

#include "cl/timer/event.h"

namespace timer_test {

// Polls `done` every few milliseconds until it holds or `deadline_ms` have passed.
template <class Pred>
bool poll_until(Pred done, DWORD deadline_ms = 20000) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > deadline_ms) return done();
        ::Sleep(5);
    }
    return true;
}

// The interval argument that arms an event-driven timer on `e`.
inline int64_t event_interval(cl::event_base& e) { return reinterpret_cast<intptr_t>(&e); }

}  // namespace timer_test
