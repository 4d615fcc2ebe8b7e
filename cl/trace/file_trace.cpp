#include "cl/trace/file_trace.h"

#include "cl/format/format.h"
#include "cl/timer/base_timer.h"

#if defined(_M_X64) || defined(__x86_64__)
#include <intrin.h>
#endif

#include <climits>
#include <cstring>
#include <new>

namespace cl {

namespace {

const char overflow_text[] = "buffer overflow\r\n";
constexpr int overflow_text_size = sizeof overflow_text - 1;
constexpr int open_retry_ms = 1000;     // after a failed open or a write that took nothing
constexpr int flush_delay_ms = 1000;    // from the first unwritten text to the timer's flush
constexpr DWORD idle_close_ms = 1000;   // the file closes once no text has come for this long
constexpr DWORD reopen_ms = 1000;       // an open file is opened again by name after this long
constexpr DWORD rotate_retry_ms = 1000; // a failed rotation is tried again after this long
constexpr DWORD room_wait_ms = 250;     // a writer waits this long for a flush to make room

// The processor's cycle counter; 0 where there is none to read cheaply.
std::uint64_t cycles() {
#if defined(_M_X64) || defined(__x86_64__)
    return __rdtsc();
#else
    return 0;
#endif
}

}  // namespace

// The critical section, taken for the guard's life and released on every path; a flush lets go of
// it around file I/O and takes it again.
class file_trace::locked {
public:
    explicit locked(const file_trace& trace) : cs_(trace.lock_) { ::EnterCriticalSection(&cs_); }
    ~locked() {
        if (held_) ::LeaveCriticalSection(&cs_);
    }
    locked(const locked&) = delete;
    locked& operator=(const locked&) = delete;
    void lock() {
        ::EnterCriticalSection(&cs_);
        held_ = true;
    }
    void unlock() {
        held_ = false;
        ::LeaveCriticalSection(&cs_);
    }

private:
    CRITICAL_SECTION& cs_;
    bool held_ = true;
};

// The flushing flag for the time of a flush: set (lock held) at construction, then the lock is
// released; at the end, on every path, the lock is taken again, the flag cleared and the writers
// waiting for room woken.
class file_trace::flushing {
public:
    flushing(file_trace& trace, locked& lock) : trace_(trace), lock_(lock) {
        trace_.flushing_ = true;
        trace_.flusher_ = ::GetCurrentThreadId();
        lock_.unlock();
    }
    ~flushing() {
        lock_.lock();
        trace_.flushing_ = false;
        trace_.flusher_ = 0;
        trace_.stalled_ = false;
        ::WakeAllConditionVariable(&trace_.room_);
    }
    flushing(const flushing&) = delete;
    flushing& operator=(const flushing&) = delete;

private:
    file_trace& trace_;
    locked& lock_;
};

// What one flush works with, copied under the lock.
struct file_trace::batch {
    std::wstring path;
    std::wstring backup;
    std::int64_t limit;
    int held;
    bool may_defer;
};

file_trace::file_trace(base_timer& timer)
    : open_flags_(o_wronly | o_creat), share_mode_(sh_denyno | sh_delete), timer_(timer) {
    prefix_[0] = '\0';
    ::InitializeCriticalSection(&lock_);
    ::InitializeConditionVariable(&room_);
    flush_callback_ = [this] { on_flush_timer(); };
}

file_trace::~file_trace() {
    {
        locked lock(*this);
        closed_ = true;
        flush_locked(lock, false);
    }
    // Closed traces arm no timer, so once this returns no callback can reach the object.
    stop_flush_timer();
    file_.close();
    if (delete_files_) {
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
        if (!backup_path_.empty()) ::DeleteFileW(backup_path_.c_str());
    }
    ::DeleteCriticalSection(&lock_);
}

void file_trace::set_file_name(const std::wstring& path) {
    locked lock(*this);
    if (path != path_) {
        path_ = path;
        // The flusher owns the file; it lets go of it when it ends.
        if (flushing_) reopen_ = true;
        else file_.close();
    }
    // Text written before the file had a name (start-up messages) goes out with the usual delay,
    // not only with the next write, which may never come.
    if (held_ > 0 && !path_.empty() && !flushing_ && !suspended_) arm_timer(flush_delay_ms);
}

void file_trace::set_buffer_sizes(int initial_size, int maximum_size, int flush_threshold) {
    locked lock(*this);
    maximum_size_ = maximum_size > 0 ? maximum_size : 0;
    initial_size_ = initial_size > 0 ? (initial_size < maximum_size_ ? initial_size : maximum_size_) : 0;
    threshold_ = flush_threshold > 0 ? flush_threshold : 0;
}

void file_trace::set_backup_file(const std::wstring& backup_path, std::int64_t size_limit) {
    locked lock(*this);
    backup_path_ = backup_path;
    size_limit_ = size_limit > 0 ? size_limit : 0;
}

int file_trace::bytes_held() const {
    locked lock(*this);
    return held_;
}

int file_trace::capacity() const {
    locked lock(*this);
    return capacity_;
}

std::int64_t file_trace::file_size() const {
    locked lock(*this);
    return file_size_;
}

void file_trace::write(const char* text, bool may_defer) {
    if (!text) return;
    const std::size_t length = std::strlen(text);
    std::unique_ptr<char[]> garbage;  // a replaced buffer, freed outside the critical section
    locked lock(*this);
    write_locked(lock, text, length > INT_MAX / 4 ? INT_MAX / 4 : static_cast<int>(length), may_defer, garbage);
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

// The cycle counter's rate (cycles per 100 ns) over windows of a quarter to half a second.
// It is trusted only while two windows in a row agree within an eighth, so that a counter that
// changes its pace, a clock that is set, or a processor without the counter (rate 0) never lets a
// line carry a stale millisecond.
void file_trace::calibrate(std::uint64_t now_cycles, std::uint64_t ticks) {
    const std::int64_t span = static_cast<std::int64_t>(ticks - window_ticks_);
    if (span >= 2500000 || span < 0) {
        const std::uint64_t rate = span < 5000000 && span > 0 ? (now_cycles - window_cycles_) / static_cast<std::uint64_t>(span) : 0;
        const bool agree = last_rate_ > 0 && rate * 8 >= last_rate_ * 7 && rate * 8 <= last_rate_ * 9;
        cycle_rate_ = agree ? (rate < last_rate_ ? rate : last_rate_) : 0;
        last_rate_ = rate;
        window_ticks_ = ticks;
        window_cycles_ = now_cycles;
    }
}

void file_trace::compose_prefix() {
    SYSTEMTIME now = {};
    if (time_shown_) {
        // A burst logs thousands of lines a millisecond, and reading the system time can cost as
        // much as the rest of a log call (a system call under some platforms): the processor's
        // cycle counter tells far more cheaply that the millisecond cannot have changed yet.
        const std::uint64_t now_cycles = cycles();
        if (now_cycles - stamp_cycles_ < stamp_cycles_left_) return;
        FILETIME utc;
        ::GetSystemTimeAsFileTime(&utc);
        const std::uint64_t ticks = (static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
        calibrate(now_cycles, ticks);
        stamp_cycles_ = now_cycles;
        // Half the cycles the rest of this millisecond should take: a margin for a counter that
        // slows down.
        stamp_cycles_left_ = cycle_rate_ * (10000 - ticks % 10000) / 2;
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

// Bytes that `text` takes in the ring: a pending overflow mark, prefixes at line starts, CR LF for
// a bare LF. At most about 3 times the length, which write() keeps below INT_MAX.
int file_trace::expanded_size(const char* text, int length) const {
    int size = 0;
    bool start = at_line_start_;
    char prev = last_char_;
    if (gap_) {
        size += (start ? 0 : prev == '\r' ? 1 : 2) + prefix_length_ + overflow_text_size;
        start = true;
    }
    const char* p = text;
    const char* const end = text + length;
    while (p < end) {
        if (start) {
            size += prefix_length_;
            start = false;
        }
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) {
            size += static_cast<int>(end - p);
            break;
        }
        size += static_cast<int>(lf - p);
        size += (lf > p ? lf[-1] : prev) == '\r' ? 1 : 2;
        start = true;
        prev = '\n';
        p = lf + 1;
    }
    return size;
}

void file_trace::write_locked(locked& lock, const char* text, int length, bool may_defer,
                              std::unique_ptr<char[]>& garbage) {
    if (maximum_size_ == 0) return;
    // The prefix first: the size checks count the bytes the text really takes.
    compose_prefix();
    int need = expanded_size(text, length);
    if (need + held_ >= capacity_ || held_ >= threshold_) {
        flush_locked(lock, may_defer);
        need = expanded_size(text, length);  // others may have written while the lock was free
    }
    // Growth is deferred work, but the first buffer is not: without it a trace written to only
    // with may_defer false would hold nothing at all.
    if ((may_defer || capacity_ == 0) &&
        (static_cast<std::int64_t>(held_) + need) * 8 >= static_cast<std::int64_t>(capacity_) * 7) {
        grow(lock, garbage);
        need = expanded_size(text, length);
    }
    if (held_ + need > capacity_) {
        const int mark_room = prefix_length_ * 2 + overflow_text_size + 2;
        if (need > maximum_size_ - mark_room) {
            // Larger than the whole buffer: taken line by line, so that whole lines are kept.
            const char* lf = static_cast<const char*>(std::memchr(text, '\n', static_cast<std::size_t>(length)));
            if (lf && lf + 1 < text + length) {
                for (const char* p = text; p < text + length;) {
                    const char* e = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(text + length - p)));
                    const int n = e ? static_cast<int>(e - p) + 1 : static_cast<int>(text + length - p);
                    write_locked(lock, p, n, may_defer, garbage);
                    p += n;
                }
                return;
            }
        }
        if (wait_for_room(lock, need)) need = expanded_size(text, length);
        if (held_ + need > capacity_) {
            // The flusher reads the held bytes outside the lock: nothing may be discarded now.
            if (flushing_ || need > capacity_ - mark_room || !drop_oldest_lines(need)) {
                gap_ = true;
                return;
            }
            need = expanded_size(text, length);
        }
    }
    append_text(text, length);
    last_text_tick_ = ::GetTickCount();

    if (path_.empty() || flushing_ || suspended_ || !may_defer) return;
    if (held_ >= threshold_ || (open_flags_ & o_write_through) != 0 || !timer_.active()) flush_locked(lock, may_defer);
    if (held_ > 0) arm_timer(flush_delay_ms);
}

// Waits, for a flush of another thread, until `need` bytes fit or the flush ends; a writer that
// waited in vain makes the others of the same flush drop their text at once. True when it waited.
bool file_trace::wait_for_room(locked&, int need) {
    if (!flushing_ || stalled_ || flusher_ == ::GetCurrentThreadId()) return false;
    const DWORD start = ::GetTickCount();
    while (flushing_ && held_ + need > capacity_) {
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= room_wait_ms) {
            stalled_ = true;
            break;
        }
        ::SleepConditionVariableCS(&room_, &lock_, room_wait_ms - spent);
    }
    return true;
}

// Makes room for `need` bytes by discarding the oldest held lines, whole, and puts the overflow
// mark in front of what is left, stamped like the first line kept. When the file ends inside a
// line (a write stopped part-way), the mark ends that line first. False when nothing is held.
bool file_trace::drop_oldest_lines(int need) {
    if (held_ == 0) return false;
    const int cut = file_mid_line_ ? 2 : 0;
    const int mark_size = cut + prefix_length_ + overflow_text_size;
    int target = capacity_ / 8 > 1024 ? capacity_ / 8 : 1024;
    if (target > capacity_ / 2) target = capacity_ / 2;
    // Room for the text, the mark, and a prefix the text may need once the last line is gone.
    const int short_by = held_ + need + mark_size + prefix_length_ - capacity_;
    if (target < short_by) target = short_by;
    for (int dropped = 0; dropped < target && held_ > 0;) {
        const int first = held_ < capacity_ - read_index_ ? held_ : capacity_ - read_index_;
        const char* lf = static_cast<const char*>(std::memchr(buffer_.get() + read_index_, '\n', static_cast<std::size_t>(first)));
        int line = held_;  // no line feed left: the partial line at the write end
        if (lf) {
            line = static_cast<int>(lf - (buffer_.get() + read_index_)) + 1;
        } else if (first < held_) {
            lf = static_cast<const char*>(std::memchr(buffer_.get(), '\n', static_cast<std::size_t>(held_ - first)));
            if (lf) line = first + static_cast<int>(lf - buffer_.get()) + 1;
        }
        consume(line);
        dropped += line;
    }
    if (held_ == 0) {
        read_index_ = write_index_ = 0;
        // The rest of a line whose start is gone gets a prefix of its own.
        at_line_start_ = true;
        last_char_ = '\n';
    }
    // The mark, stamped like the line that follows it, is put in front of the held bytes.
    char mark[2 + sizeof prefix_ + overflow_text_size] = {'\r', '\n'};
    const int kept = held_ >= prefix_length_ ? prefix_length_ : 0;
    for (int i = 0; i < kept; ++i) mark[cut + i] = buffer_[(read_index_ + i) % capacity_];
    if (kept == 0) std::memcpy(mark + cut, prefix_, static_cast<std::size_t>(prefix_length_));
    std::memcpy(mark + cut + prefix_length_, overflow_text, overflow_text_size);
    file_mid_line_ = false;
    read_index_ = (read_index_ - mark_size + capacity_) % capacity_;
    for (int i = 0; i < mark_size; ++i) buffer_[(read_index_ + i) % capacity_] = mark[i];
    held_ += mark_size;
    return true;
}

void file_trace::append(const char* data, int length) {
    while (length > 0 && held_ < capacity_) {
        int run = capacity_ - write_index_;
        if (run > capacity_ - held_) run = capacity_ - held_;
        if (run > length) run = length;
        std::memcpy(buffer_.get() + write_index_, data, static_cast<std::size_t>(run));
        write_index_ += run;
        if (write_index_ == capacity_) write_index_ = 0;
        held_ += run;
        data += run;
        length -= run;
    }
    // Never reached (the room is checked first); what did not fit would be marked as lost.
    if (length > 0) gap_ = true;
}

// Appends the text as expanded_size counts it.
void file_trace::append_text(const char* text, int length) {
    if (gap_) {
        gap_ = false;
        if (!at_line_start_) append("\r\n" + (last_char_ == '\r' ? 1 : 0), last_char_ == '\r' ? 1 : 2);
        append(prefix_, prefix_length_);
        append(overflow_text, overflow_text_size);
        at_line_start_ = true;
        last_char_ = '\n';
    }
    const char* p = text;
    const char* const end = text + length;
    while (p < end) {
        if (at_line_start_) {
            append(prefix_, prefix_length_);
            at_line_start_ = false;
        }
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) {
            append(p, static_cast<int>(end - p));
            last_char_ = end[-1];
            break;
        }
        append(p, static_cast<int>(lf - p));
        if ((lf > p ? lf[-1] : last_char_) == '\r') append("\n", 1);
        else append("\r\n", 2);
        at_line_start_ = true;
        last_char_ = '\n';
        p = lf + 1;
    }
}

void file_trace::consume(int count) {
    held_ -= count;
    read_index_ = (read_index_ + count) % capacity_;
}

void file_trace::grow(locked& lock, std::unique_ptr<char[]>& garbage) {
    if (capacity_ >= maximum_size_ || flushing_) return;
    std::int64_t size = static_cast<std::int64_t>(capacity_) * 3 / 2;
    size = (size + 15) / 16 * 16;
    if (size > maximum_size_) size = maximum_size_;
    if (size < initial_size_) size = initial_size_;
    if (size <= capacity_) return;

    lock.unlock();
    garbage.reset();
    std::unique_ptr<char[]> block(new (std::nothrow) char[static_cast<std::size_t>(size)]);
    lock.lock();
    // Another writer may have grown the buffer, or a flush may have started, meanwhile.
    if (!block || size <= capacity_ || flushing_) {
        garbage = std::move(block);
        return;
    }
    const int first = held_ < capacity_ - read_index_ ? held_ : capacity_ - read_index_;
    if (first > 0) std::memcpy(block.get(), buffer_.get() + read_index_, static_cast<std::size_t>(first));
    if (held_ > first) std::memcpy(block.get() + first, buffer_.get(), static_cast<std::size_t>(held_ - first));
    garbage = std::move(buffer_);
    buffer_ = std::move(block);
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

// After a flush with may_defer: held bytes are tried again; an open file is looked at again once
// a second without text will have passed.
void file_trace::schedule() {
    if (held_ > 0) {
        arm_timer(retry_ms_);
    } else if (file_.is_open() && !flushing_) {
        const DWORD quiet = ::GetTickCount() - last_text_tick_;
        arm_timer(quiet < idle_close_ms ? static_cast<int>(idle_close_ms - quiet) : 1);
    }
}

void file_trace::flush(bool may_defer) {
    locked lock(*this);
    flush_locked(lock, may_defer);
}

void file_trace::flush_locked(locked& lock, bool may_defer, bool close_file) {
    if (path_.empty() || flushing_ || suspended_) return;
    // The file stays open only while a timer will close it.
    const bool keep_open = may_defer && !close_file && !closed_ && timer_.active();
    if (held_ == 0) {
        if (!keep_open) file_.close();  // nothing to write, only the file to let go of
    } else {
        const batch job{path_, backup_path_, size_limit_, held_, may_defer};
        bool written = false;
        {
            flushing busy(*this, lock);
            written = write_batch(job);
            if (!written || !keep_open) file_.close();
        }
        if (reopen_) {
            reopen_ = false;
            file_.close();
        }
        // Bytes still held came during the flush, or could not be written.
        retry_ms_ = written ? 1 : open_retry_ms;
    }
    if (may_defer) schedule();
}

bool file_trace::open_file(const std::wstring& path, DWORD now) {
    if (!file_.open(path, open_flags_, share_mode_)) return false;
    opened_tick_ = now;
    on_opened(lock_, file_);
    const std::int64_t size = file_.size();
    open_size_ = size > 0 ? size : 0;
    return true;
}

// Writes the held bytes to the file, opening it when needed; false when it could not be opened or
// a write made no progress. Called with the flushing flag set and the lock free.
bool file_trace::write_batch(const batch& job) {
    const DWORD now = ::GetTickCount();
    // A file moved away or deleted while it was open is let go of within a second.
    if (file_.is_open() && now - opened_tick_ >= reopen_ms) file_.close();
    if (!file_.is_open()) {
        if (!open_file(job.path, now)) return false;
    } else {
        // Another process may have appended since the last batch.
        const std::int64_t end = file_.seek(0, seek_end);
        if (end < 0) return false;
        open_size_ = end;
    }
    if (job.may_defer && !job.backup.empty() && job.limit > 0 && open_size_ > 0 && open_size_ + job.held > job.limit &&
        (!rotate_failed_ || now - rotate_failed_tick_ >= rotate_retry_ms)) {
        // The log is never deleted: when it cannot be renamed it is kept and appended to.
        file_.close();
        rotate_failed_ = !::MoveFileExW(job.path.c_str(), job.backup.c_str(), MOVEFILE_REPLACE_EXISTING);
        rotate_failed_tick_ = now;
        if (!open_file(job.path, now)) return false;
    }
    std::int64_t total = 0;
    for (;;) {
        const char* run;
        int count;
        {
            locked lock(*this);
            run = buffer_.get() + read_index_;
            count = held_ < capacity_ - read_index_ ? held_ : capacity_ - read_index_;
        }
        if (count <= 0) break;
        const std::int64_t written = file_.write(run, count);
        if (written <= 0) return false;  // the disk is full, say: retried like a failed open
        locked lock(*this);
        consume(static_cast<int>(written));
        file_mid_line_ = buffer_[(read_index_ + capacity_ - 1) % capacity_] != '\n';
        ::WakeAllConditionVariable(&room_);
        total += written;
    }
    on_written(lock_, file_);
    open_size_ += total;
    locked lock(*this);
    file_size_ = open_size_;
    return true;
}

void file_trace::close() {
    locked lock(*this);
    if (!closed_ && !flushing_) {
        closed_ = true;
        flush_locked(lock, false);
    }
}

void file_trace::on_flush_timer() {
    bool destroy = false;
    {
        locked lock(*this);
        if (!closed_) flush_locked(lock, true, ::GetTickCount() - last_text_tick_ >= idle_close_ms);
        destroy = delete_self_;
        delete_self_ = false;
    }
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
        {
            locked lock(*this);
            if (held_ == 0 || path_.empty() || suspended_) return;
        }
        if (::GetTickCount() - start >= timeout_ms) return;
        ::Sleep(20);
        flush(false);
    }
}

}  // namespace cl
