#include "cl/trace/trace_list.h"

#include <algorithm>

namespace cl {

trace_list::trace_list() : enabled_(true) {}

trace_list::~trace_list() {
    // Later writers (destructors of other globals) see a disabled list and never touch the vector.
    enabled_.store(false);
    std::vector<trace_base*>().swap(sinks_);
}

bool trace_list::add(trace_base* sink) {
    if (!enabled_) return true;
    if (!sink || std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) return false;
    sinks_.push_back(sink);
    return true;
}

void trace_list::write(const char* text) {
    if (!enabled_ || !text) return;
    for (trace_base* sink : sinks_) sink->write(text, true);
}

void trace_list::write(const wchar_t* text) {
    if (!enabled_ || !text) return;
    for (trace_base* sink : sinks_) sink->write(text, true);
}

void trace_list::flush() {
    if (!enabled_) return;
    for (trace_base* sink : sinks_) sink->flush(true);
}

}  // namespace cl
