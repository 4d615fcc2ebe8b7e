// The watchdog's one way into its log: whole messages to the global trace list cl::g_trace_out,
// which the log file Tolvarn.log and any test capture receive.
#pragma once

#include "cl/trace/trace.h"

#include <string>

namespace tolvarn {

// Writes one message (ending in "\n") to cl::g_trace_out.
inline void log(const std::wstring& text) { cl::trace_write(&cl::g_trace_out, text); }

// log() for the last-resort handlers: nothing escapes, since writing may fail itself when memory
// is exhausted.
inline void log_noexcept(const wchar_t* text) noexcept {
    try {
        log(text);
    } catch (...) {
    }
}

}  // namespace tolvarn
