// The global trace: three lists of sinks and the functions that write to them.
//
// - cl::g_trace_out: the main list (the log file; in a console program also stdout).
// - cl::g_trace_err: the error list (the debugger output, the log file; in a console program
//   also stderr).
// - cl::g_trace_log: the log file only; it carries the start separator.
// Any thread may write. Text written to a list that is not (or no longer) enabled goes to the
// debugger output and to a small backlog that start-up replays into cl::g_trace_out.
#pragma once

#include <string>

namespace cl {

class trace_base;
class trace_list;

extern trace_list g_trace_out;
extern trace_list g_trace_err;
extern trace_list g_trace_log;

// Writes the text to every sink of the list (write with true). A null list does nothing; a
// disabled list sends the text to the debugger output and the backlog.
void trace_write(trace_list* list, const char* text);
void trace_write(trace_list* list, const wchar_t* text);
void trace_write(trace_list* list, const std::string& text);
void trace_write(trace_list* list, const std::wstring& text);
// flush(true) on every sink of an enabled list; a null list does nothing.
void trace_flush(trace_list* list);
// Adds a sink: false for a null list or a sink already in it; true without adding when the list
// is disabled; true when added.
bool trace_add(trace_list* list, trace_base* sink);

// Text written to disabled lists: 255 characters and a NUL, zero-initialised before any
// constructor runs so that it works during static initialisation.
struct trace_backlog {
    wchar_t text[256];
    int length;
};
extern trace_backlog g_trace_backlog;

// Writes the backlog to `list` (when it has text) and empties it.
void trace_replay_backlog(trace_list* list);

}  // namespace cl
