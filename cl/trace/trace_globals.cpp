// The global sinks and lists, and their start-up. Everything here is built during static
// initialisation, in the order written; lists written to before they are built (from other
// translation units) are not yet enabled, and their texts wait in the backlog.
#include "cl/trace/console_trace.h"
#include "cl/trace/debug_trace.h"
#include "cl/trace/file_trace.h"
#include "cl/trace/trace.h"
#include "cl/trace/trace_list.h"
#include "cl/timer/timers.h"

#include <cstdlib>

namespace cl {

file_trace g_file_trace(slow_timer());
debug_trace g_debug_trace("");
console_trace g_console_trace;
stdout_trace g_stdout_trace;
stderr_trace g_stderr_trace;
trace_list g_trace_out;
trace_list g_trace_err;
trace_list g_trace_log;
// Zero-initialised, no constructor: usable before any of the objects above is built.
trace_backlog g_trace_backlog;

namespace {

void trace_exit() {
    // The slow timer's thread stops first, after one more pass: a check or an e-mail still under
    // way logs to the sinks above, which are destroyed right after this routine (the timer's own
    // exit handler runs only after them). Without the thread the file trace flushes every write.
    passive_timer& slow = slow_timer();
    slow.sync(passive_timer::stop_timeout_ms);
    slow.stop(passive_timer::stop_timeout_ms);
    g_file_trace.flush(true);
    // Two copies of the program share one log (a -stop_appl run and the copy it closes end at
    // the same moment); the other one keeps the file open a second after its last text at most.
    g_file_trace.drain(3000);
    g_file_trace.stop_flush_timer();
}

struct trace_setup {
    trace_setup() {
        g_file_trace.set_buffer_sizes(16384, 65536, 4096);
        trace_add(&g_trace_err, &g_debug_trace);
        trace_add(&g_trace_err, &g_file_trace);
        trace_add(&g_trace_out, &g_file_trace);
        trace_add(&g_trace_log, &g_file_trace);
        // A GUI program has no console: its console sinks stay in no list.
        if (is_console_program()) {
            trace_add(&g_trace_out, &g_stdout_trace);
            trace_add(&g_trace_err, &g_stderr_trace);
        }
        trace_write(&g_trace_log,
                    "\n\n----------------------------------------------------------------\n\n");
        trace_replay_backlog(&g_trace_out);
        std::atexit(trace_exit);
    }
};

// Runs after the exit routine and before the destructors of the globals above: whatever is still
// held (the last flush failed, or text came after the exit routine) gets one more attempt.
struct trace_terminator {
    trace_terminator() = default;
    ~trace_terminator() {
        if (g_file_trace.bytes_held() > 0) g_file_trace.close();
    }
};

// The terminator is built before the setup registers the exit routine, so at exit the routine runs
// first, then the terminator, then the destructors of the globals.
const trace_terminator terminator;
const trace_setup setup;

}  // namespace

}  // namespace cl
