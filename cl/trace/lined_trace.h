// cl::lined_trace: a sink that assembles the texts it receives into complete lines and hands each
// line, with the sink's prefix in front and a line feed at its end, to output_line.
//
// Lines longer than line_max characters are broken after line_max characters. A CR right before a
// line feed is removed. Any thread may write; the sink's critical section is held while lines are
// assembled and while output_line runs, so lines of different threads never mix.
#pragma once

#include "cl/trace/trace_base.h"

#include <windows.h>

namespace cl {

class lined_trace : public trace_base {
public:
    static constexpr int prefix_max = 16;
    static constexpr int line_max = 254;

    // `prefix` (cut to prefix_max characters; null means none) goes in front of every line.
    explicit lined_trace(const char* prefix = "");
    ~lined_trace() override;

    using trace_base::write;
    // Appends the text; every completed line goes to output_line. The bool is ignored.
    void write(const char* text, bool may_defer) override;
    // Emits a pending partial line unchanged (no line feed added). The bool is ignored.
    void flush(bool may_defer) override;

protected:
    // Receives one line: prefix, text, "\n", NUL-terminated. Called with the critical section held.
    virtual void output_line(const char* line) = 0;
    // flush without the bool, for destructors of descendants (before the critical section goes).
    void emit_pending();

private:
    void emit(int end);

    // Prefix and line form one string: the prefix is stored right-aligned in front of the line.
    char text_[prefix_max + line_max + 2];
    int length_ = 0;
    CRITICAL_SECTION lock_;
    const char* start_;
    bool broken_ = false;  // the last line was broken at line_max characters
};

}  // namespace cl
