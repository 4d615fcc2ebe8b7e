// cl::debug_trace: a lined trace whose lines go to the debugger output (OutputDebugStringA).
// Thread-safe like cl::lined_trace.
#pragma once

#include "cl/trace/lined_trace.h"

namespace cl {

class debug_trace : public lined_trace {
public:
    explicit debug_trace(const char* prefix = "");
    // Emits a pending partial line before the sink goes.
    ~debug_trace() override;

protected:
    void output_line(const char* line) override;
};

// The debugger output of the error list (see trace.h); no prefix.
extern debug_trace g_debug_trace;

}  // namespace cl
