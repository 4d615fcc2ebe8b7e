#include "cl/trace/file_trace.h"

#include "cl/file/file_hnd.h"
#include "cl/format/format.h"
#include "cl/timer/base_timer.h"

#include <climits>
#include <cstring>
#include <new>

namespace cl {

namespace {

const char overflow_mark[] = "\r\nbuffer overflow\r\n";
constexpr int overflow_mark_size = sizeof overflow_mark - 1;
constexpr int open_retry_ms = 1000;
constexpr int flush_delay_ms = 1000;

}  // namespace

file_trace::file_trace(base_timer& timer)
    : open_flags_(o_wronly | o_creat), share_mode_(sh_denywr), timer_(timer) {
    prefix_[0] = '\0';
    ::InitializeCriticalSection(&lock_);
    flush_callback_ = [this] { on_flush_timer(); };
}

file_trace::~file_trace() {
    lock();
    if (!closed_) {
        closed_ = true;
        flush_locked(false);
    }
    unlock();
    // Closed traces arm no timer, so once this returns no callback can reach the object.
    stop_flush_timer();
    if (delete_files_) {
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
        if (!backup_path_.empty()) ::DeleteFileW(backup_path_.c_str());
    }
    delete[] buffer_;
    ::DeleteCriticalSection(&lock_);
}

void file_trace::set_file_name(const std::wstring& path) {
    lock();
    path_ = path;
    // Text written before the file had a name (start-up messages) goes out with the usual delay,
    // not only with the next write, which may never come.
    if (held_ > 0 && !path_.empty() && !flushing_ && !suspended_) arm_timer(1000);
    unlock();
}

void file_trace::set_buffer_sizes(int initial_size, int maximum_size, int flush_threshold) {
    lock();
    maximum_size_ = maximum_size > 0 ? maximum_size : 0;
    initial_size_ = initial_size > 0 ? (initial_size < maximum_size_ ? initial_size : maximum_size_) : 0;
    threshold_ = flush_threshold > 0 ? flush_threshold : 0;
    unlock();
}

void file_trace::set_backup_file(const std::wstring& backup_path, std::int64_t size_limit) {
    lock();
    backup_path_ = backup_path;
    size_limit_ = size_limit > 0 ? size_limit : 0;
    unlock();
}

int file_trace::bytes_held() const {
    lock();
    const int held = held_;
    unlock();
    return held;
}

int file_trace::capacity() const {
    lock();
    const int capacity = capacity_;
    unlock();
    return capacity;
}

std::int64_t file_trace::file_size() const {
    lock();
    const std::int64_t size = file_size_;
    unlock();
    return size;
}

void file_trace::write(const char* text, bool may_defer) {
    if (!text) return;
    char* garbage = nullptr;  // a replaced buffer, freed outside the critical section
    lock();
    write_locked(text, may_defer, garbage);
    unlock();
    delete[] garbage;
}

void file_trace::local_time(std::uint64_t utc_ticks, SYSTEMTIME& local) {
    // Time zone bias changes (daylight saving time) happen at whole minutes, so the bias of the
    // minute is the one GetLocalTime would apply; a change of the time zone settings shows from
    // the next minute on.
    constexpr std::uint64_t ticks_per_minute = 600000000;
    const std::uint64_t minute = utc_ticks / ticks_per_minute;
    if (minute != bias_minute_) {
        const std::uint64_t start = minute * ticks_per_minute;
        FILETIME utc, shifted;
        utc.dwLowDateTime = static_cast<DWORD>(start);
        utc.dwHighDateTime = static_cast<DWORD>(start >> 32);
        if (::FileTimeToLocalFileTime(&utc, &shifted)) {
            const std::uint64_t l = (static_cast<std::uint64_t>(shifted.dwHighDateTime) << 32) | shifted.dwLowDateTime;
            bias_ = static_cast<std::int64_t>(l - start);
        } else {
            bias_ = 0;
        }
        bias_minute_ = minute;
    }
    // Only the time of day is shown.
    const std::uint64_t ms = (utc_ticks + static_cast<std::uint64_t>(bias_)) / 10000 % 86400000;
    local.wHour = static_cast<WORD>(ms / 3600000);
    local.wMinute = static_cast<WORD>(ms / 60000 % 60);
    local.wSecond = static_cast<WORD>(ms / 1000 % 60);
    local.wMilliseconds = static_cast<WORD>(ms % 1000);
}

void file_trace::compose_prefix() {
    SYSTEMTIME now = {};
    if (time_shown_) {
        FILETIME utc;
        ::GetSystemTimeAsFileTime(&utc);
        const std::uint64_t ticks = (static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
        const std::uint64_t stamp = ticks / 10000;
        if (stamp == prefix_stamp_) return;
        prefix_stamp_ = stamp;
        local_time(ticks, now);
    } else {
        // Without the time the prefix never changes.
        if (prefix_stamp_ == 0) return;
        prefix_stamp_ = 0;
    }
    prefix_[0] = '\0';
    std::size_t used = 0;
    if (time_shown_) {
        {
            basic_sformat f(prefix_, sizeof prefix_, time_format_);
            f % now.wHour % now.wMinute % now.wSecond;
        }
        used = std::strlen(prefix_);
        if (millis_shown_) {
            {
                basic_sformat f(prefix_ + used, sizeof prefix_ - used, millis_format_);
                f % now.wMilliseconds;
            }
            used += std::strlen(prefix_ + used);
        }
        {
            basic_sformat f(prefix_ + used, sizeof prefix_ - used, "%?");
            f % time_separator_;
        }
        used += std::strlen(prefix_ + used);
    }
    {
        basic_sformat f(prefix_ + used, sizeof prefix_ - used, "%?");
        f % fixed_prefix_;
    }
    prefix_[sizeof prefix_ - 1] = '\0';
    prefix_length_ = static_cast<int>(std::strlen(prefix_));
}

// Bytes that `text` takes in the ring: prefixes at line starts, CR LF for a bare LF.
std::int64_t file_trace::expanded_size(const char* text, int length, int prefix_length) const {
    std::int64_t size = overflow_ ? overflow_mark_size : 0;
    bool start = at_line_start_ || overflow_;
    char prev = start ? 0 : last_char_;
    const char* p = text;
    const char* const end = text + length;
    while (p < end) {
        if (start) {
            size += prefix_length;
            start = false;
        }
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) {
            size += end - p;
            break;
        }
        size += lf - p;
        const char before = lf > p ? lf[-1] : prev;
        size += before == '\r' ? 1 : 2;
        start = true;
        prev = 0;
        p = lf + 1;
    }
    return size;
}

void file_trace::write_locked(const char* text, bool may_defer, char*& garbage) {
    if (maximum_size_ == 0) return;
    const std::size_t raw_length = std::strlen(text);
    const int length = raw_length > INT_MAX / 4 ? INT_MAX / 4 : static_cast<int>(raw_length);

    // The prefix first: the size check below counts the bytes the text really takes.
    compose_prefix();
    const int prefix_length = prefix_length_;
    std::int64_t need = expanded_size(text, length, prefix_length);

    if (need + held_ >= capacity_ || held_ >= threshold_) flush_locked(may_defer);
    // Growth is deferred work, but the first buffer is not: without it a trace written to only
    // with may_defer false would hold nothing at all.
    if ((may_defer || capacity_ == 0) && (held_ + need) * 8 >= static_cast<std::int64_t>(capacity_) * 7)
        grow(garbage);

    if (held_ + need > capacity_) {
        overflow_ = true;
        // The flusher reads from the ring outside the lock: nothing may be discarded now.
        if (flushing_) return;
        int discard = capacity_ / 8 > 1024 ? capacity_ / 8 : 1024;
        if (discard > capacity_ / 2) discard = capacity_ / 2;
        if (discard > held_) discard = held_;
        held_ -= discard;
        read_index_ = capacity_ > 0 ? (read_index_ + discard) % capacity_ : 0;
    }
    if (overflow_) {
        overflow_ = false;
        append(overflow_mark, overflow_mark_size);
        at_line_start_ = true;
        last_char_ = '\n';
    }

    int begin = 0;
    for (int i = 0; i < length; ++i) {
        const void* lf = std::memchr(text + i, '\n', static_cast<std::size_t>(length - i));
        if (!lf) break;
        i = static_cast<int>(static_cast<const char*>(lf) - text);
        if (at_line_start_) {
            append(prefix_, prefix_length);
            at_line_start_ = false;
        }
        append(text + begin, i - begin);
        const char prev = i > begin ? text[i - 1] : last_char_;
        if (prev == '\r') append("\n", 1);
        else append("\r\n", 2);
        at_line_start_ = true;
        last_char_ = '\n';
        begin = i + 1;
    }
    if (begin < length) {
        if (at_line_start_) {
            append(prefix_, prefix_length);
            at_line_start_ = false;
        }
        append(text + begin, length - begin);
        last_char_ = text[length - 1];
    }

    if (path_.empty() || flushing_ || suspended_ || !may_defer) return;
    if (held_ >= threshold_ || (open_flags_ & o_write_through) != 0 || !timer_.active()) flush_locked(may_defer);
    if (held_ > 0) arm_timer(flush_delay_ms);
}

void file_trace::append(const char* data, int length) {
    while (length > 0 && held_ < capacity_) {
        int run = capacity_ - write_index_;
        if (run > capacity_ - held_) run = capacity_ - held_;
        if (run > length) run = length;
        std::memcpy(buffer_ + write_index_, data, static_cast<std::size_t>(run));
        write_index_ += run;
        if (write_index_ == capacity_) write_index_ = 0;
        held_ += run;
        data += run;
        length -= run;
    }
    // What did not fit is lost: the next write marks the gap.
    if (length > 0) overflow_ = true;
}

void file_trace::grow(char*& garbage) {
    if (capacity_ >= maximum_size_ || flushing_) return;
    std::int64_t size = static_cast<std::int64_t>(capacity_) * 3 / 2;
    size = (size + 15) / 16 * 16;
    if (size > maximum_size_) size = maximum_size_;
    if (size < initial_size_) size = initial_size_;
    if (size <= capacity_) return;

    unlock();
    char* block = new (std::nothrow) char[static_cast<std::size_t>(size)];
    lock();
    if (!block) return;
    // Another writer may have grown the buffer, or a flush may have started, meanwhile.
    if (size <= capacity_ || flushing_) {
        garbage = block;
        return;
    }
    const int first = held_ < capacity_ - read_index_ ? held_ : capacity_ - read_index_;
    if (first > 0) std::memcpy(block, buffer_ + read_index_, static_cast<std::size_t>(first));
    if (held_ > first) std::memcpy(block + first, buffer_, static_cast<std::size_t>(held_ - first));
    garbage = buffer_;
    buffer_ = block;
    capacity_ = static_cast<int>(size);
    read_index_ = 0;
    write_index_ = held_ == capacity_ ? 0 : held_;
}

void file_trace::arm_timer(int delay) {
    // A closed trace's callback would not flush; not arming also lets the destructor stop the
    // timer for good.
    // An armed handle keeps its schedule (set_timer would leave it alone): asking the handle
    // spares every log call the service's lock. A one-shot handle is disarmed before its
    // callback runs, and the callback flushes under this trace's lock, so text written while the
    // handle reads armed is never left behind.
    if (closed_ || !timer_.active() || flush_timer_.armed()) return;
    timer_.set_timer(flush_timer_, flush_callback_, delay, timer_once, false);
}

void file_trace::flush(bool may_defer) {
    lock();
    flush_locked(may_defer);
    unlock();
}

void file_trace::flush_locked(bool may_defer) {
    if (path_.empty() || flushing_ || suspended_) return;
    int retry = 1;
    if (held_ > 0) {
        flushing_ = true;
        const std::wstring path = path_;
        const std::wstring backup = backup_path_;
        const std::int64_t limit = size_limit_;
        unlock();

        file_hnd file;
        if (!file.open(path, open_flags_, share_mode_)) {
            retry = open_retry_ms;
        } else {
            on_opened(lock_, file);
            for (;;) {
                lock();
                const char* run = buffer_ + read_index_;
                int count = capacity_ - read_index_;
                if (count > held_) count = held_;
                unlock();
                if (count <= 0) break;
                const std::int64_t written = file.write(run, count);
                if (written <= 0) break;
                lock();
                held_ -= static_cast<int>(written);
                read_index_ = (read_index_ + static_cast<int>(written)) % capacity_;
                unlock();
            }
            on_written(lock_, file);
            std::int64_t size = file.size();
            if (!backup.empty() && size > limit && may_defer) {
                file.close();
                ::DeleteFileW(backup.c_str());
                ::MoveFileW(path.c_str(), backup.c_str());
                // Whatever stays under the log's name (the move failed) goes as well, so the log
                // cannot grow past the limit.
                ::DeleteFileW(path.c_str());
                size = 0;
            }
            file.close();
            if (size >= 0) {
                lock();
                file_size_ = size;
                unlock();
            }
        }
        lock();
        flushing_ = false;
    }
    if (may_defer && held_ > 0) arm_timer(retry);
}

void file_trace::close() {
    lock();
    if (!closed_ && !flushing_) {
        closed_ = true;
        flush_locked(false);
    }
    unlock();
}

void file_trace::on_flush_timer() {
    lock();
    if (!closed_) flush_locked(true);
    const bool destroy = delete_self_;
    delete_self_ = false;
    unlock();
    if (destroy) delete this;
}

void file_trace::stop_flush_timer() {
    if (timer_.active()) timer_.cancel(flush_timer_, true);
}

void file_trace::on_opened(CRITICAL_SECTION&, file_hnd& file) { file.seek(0, seek_end); }

void file_trace::on_written(CRITICAL_SECTION&, file_hnd&) {}

void file_trace::drain(unsigned timeout_ms) {
    flush(false);
    const DWORD start = ::GetTickCount();
    for (;;) {
        lock();
        const bool pending = held_ > 0 && !path_.empty() && !suspended_;
        unlock();
        if (!pending || ::GetTickCount() - start >= timeout_ms) return;
        ::Sleep(20);
        flush(false);
    }
}

}  // namespace cl
