// cl::trace_base: the abstract sink of the trace. A sink receives finished texts (usually whole
// lines ending in "\n") from the trace lists and puts them somewhere: a log file, the debugger
// output, the console.
//
// Sinks are shared by every thread that logs; each descendant guards its own state. The bool of
// write and flush permits deferred work (growing a buffer, arming a timer, rotating a file); every
// list write passes true.
#pragma once

#include <string>

namespace cl {

class trace_base {
public:
    trace_base() = default;
    trace_base(const trace_base&) = delete;
    trace_base& operator=(const trace_base&) = delete;
    virtual ~trace_base() = default;

    // Writes NUL-terminated UTF-16 text: converted to UTF-8 (see to_utf8) and handed to the narrow
    // write with the same bool. A null text does nothing.
    virtual void write(const wchar_t* text, bool may_defer);
    // Writes NUL-terminated narrow text.
    virtual void write(const char* text, bool may_defer) = 0;
    // Puts out whatever the sink still holds; the base holds nothing and does nothing.
    virtual void flush(bool may_defer);

    // UTF-16 to UTF-8, every code point in its shortest form. A high surrogate followed by a low
    // one forms one code point; a surrogate without its partner is dropped, so the result is
    // always valid UTF-8.
    static std::string to_utf8(const wchar_t* text, std::size_t length);
};

}  // namespace cl
