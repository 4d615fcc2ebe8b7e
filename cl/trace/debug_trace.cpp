#include "cl/trace/debug_trace.h"

#include <windows.h>

namespace cl {

debug_trace::debug_trace(const char* prefix) : lined_trace(prefix) {}

debug_trace::~debug_trace() { emit_pending(); }

void debug_trace::output_line(const char* line) { ::OutputDebugStringA(line); }

}  // namespace cl
