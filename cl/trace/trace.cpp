#include "cl/trace/trace.h"

#include "cl/trace/trace_list.h"

#include <windows.h>

namespace cl {

namespace {

constexpr int backlog_max = 255;

void to_backlog(const char* text) {
    ::OutputDebugStringA(text);
    trace_backlog& b = g_trace_backlog;
    for (; *text && b.length < backlog_max; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        b.text[b.length++] = c > 127 ? L'?' : static_cast<wchar_t>(c);
    }
    b.text[b.length] = L'\0';
}

void to_backlog(const wchar_t* text) {
    ::OutputDebugStringW(text);
    trace_backlog& b = g_trace_backlog;
    for (; *text && b.length < backlog_max; ++text) b.text[b.length++] = *text;
    b.text[b.length] = L'\0';
}

}  // namespace

void trace_write(trace_list* list, const char* text) {
    if (!list || !text) return;
    if (list->enabled()) list->write(text);
    else to_backlog(text);
}

void trace_write(trace_list* list, const wchar_t* text) {
    if (!list || !text) return;
    if (list->enabled()) list->write(text);
    else to_backlog(text);
}

void trace_write(trace_list* list, const std::string& text) { trace_write(list, text.c_str()); }
void trace_write(trace_list* list, const std::wstring& text) { trace_write(list, text.c_str()); }

void trace_flush(trace_list* list) {
    if (list) list->flush();
}

bool trace_add(trace_list* list, trace_base* sink) { return list ? list->add(sink) : false; }

void trace_replay_backlog(trace_list* list) {
    trace_backlog& b = g_trace_backlog;
    if (b.length <= 0) return;
    // Copy first: a disabled target would append to the backlog while it is being read.
    wchar_t text[backlog_max + 1];
    const int n = b.length < backlog_max ? b.length : backlog_max;
    for (int i = 0; i < n; ++i) text[i] = b.text[i];
    text[n] = L'\0';
    b.length = 0;
    b.text[0] = L'\0';
    trace_write(list, text);
}

}  // namespace cl
