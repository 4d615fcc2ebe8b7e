// cl::trace_list: an ordered list of sinks (not owned) that receive every text written to it.
//
// A list is enabled from its construction until its destruction; while it is not (before the
// global lists are built, after they are gone) the free functions of trace.h send its texts to the
// debugger output and the backlog instead. Lists are filled before main and only read afterwards,
// without a lock: add must not race with writes.
#pragma once

#include "cl/trace/trace_base.h"

#include <atomic>
#include <vector>

namespace cl {

class trace_list {
public:
    trace_list();
    // Disables the list; texts written to it afterwards take the disabled path.
    ~trace_list();
    trace_list(const trace_list&) = delete;
    trace_list& operator=(const trace_list&) = delete;

    bool enabled() const { return enabled_.load(); }
    // Appends `sink`: false when it is already in the list (or null); true without adding when
    // the list is disabled; otherwise true.
    bool add(trace_base* sink);
    // write(text, true) on every sink in list order; nothing when disabled.
    void write(const char* text);
    void write(const wchar_t* text);
    // flush(true) on every sink; nothing when disabled.
    void flush();

private:
    std::vector<trace_base*> sinks_;
    // Atomic so that the destructor's store is never dropped as dead: the object is read after it.
    std::atomic<bool> enabled_;
};

}  // namespace cl
