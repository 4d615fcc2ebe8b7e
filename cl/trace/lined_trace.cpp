#include "cl/trace/lined_trace.h"

#include <cstring>

namespace cl {

namespace {

class section_guard {
public:
    explicit section_guard(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
    ~section_guard() { ::LeaveCriticalSection(&cs_); }
    section_guard(const section_guard&) = delete;
    section_guard& operator=(const section_guard&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

}  // namespace

lined_trace::lined_trace(const char* prefix) {
    const std::size_t n = prefix ? ::strnlen(prefix, prefix_max) : 0;
    char* line = text_ + prefix_max;
    if (n > 0) std::memcpy(line - n, prefix, n);
    start_ = line - n;
    ::InitializeCriticalSection(&lock_);
}

lined_trace::~lined_trace() { ::DeleteCriticalSection(&lock_); }

// Hands line[0..end) plus "\n" to output_line and moves what follows it to the start of the line.
// line[end] is the line feed itself, or (for a broken line) the first free position.
void lined_trace::emit(int end) {
    char* line = text_ + prefix_max;
    const int rest = length_ > end ? length_ - end - 1 : 0;
    // The character behind the line feed belongs to the next line; keep it while the NUL is there.
    const char saved = line[end + 1];
    line[end] = '\n';
    line[end + 1] = '\0';
    output_line(start_);
    line[end + 1] = saved;
    if (rest > 0) std::memmove(line, line + end + 1, static_cast<std::size_t>(rest));
    length_ = rest;
}

void lined_trace::write(const char* text, bool) {
    if (!text) return;
    section_guard guard(lock_);
    char* line = text_ + prefix_max;
    while (*text) {
        if (broken_) {
            // The last line was broken right before its end: the line end is already given.
            broken_ = false;
            if (text[0] == '\r' && text[1] == '\n') text += 2;
            else if (text[0] == '\n') ++text;
            if (!*text) break;
        }
        const std::size_t piece = ::strnlen(text, static_cast<std::size_t>(line_max - length_));
        std::memcpy(line + length_, text, piece);
        int scan = length_;
        length_ += static_cast<int>(piece);
        text += piece;

        for (;;) {
            const void* lf = std::memchr(line + scan, '\n', static_cast<std::size_t>(length_ - scan));
            if (!lf) break;
            int end = static_cast<int>(static_cast<const char*>(lf) - line);
            if (end > 0 && line[end - 1] == '\r') {
                // Drop the CR: move the line feed and what follows one place to the left.
                std::memmove(line + end - 1, line + end, static_cast<std::size_t>(length_ - end));
                --length_;
                --end;
            }
            emit(end);
            scan = 0;
        }

        if (length_ == line_max) {
            if (line[line_max - 1] == '\r' && *text == '\n') {
                // CR LF split between this piece and the next: the CR ends the line.
                length_ = line_max - 1;
                ++text;
                emit(length_);
            } else {
                emit(line_max);
                broken_ = true;
            }
        }
    }
}

void lined_trace::emit_pending() {
    section_guard guard(lock_);
    if (length_ == 0) return;
    text_[prefix_max + length_] = '\0';
    output_line(start_);
    length_ = 0;
}

void lined_trace::flush(bool) { emit_pending(); }

}  // namespace cl
