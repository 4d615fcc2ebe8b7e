// cl::file_trace: the log file writer. Stamps every line with the local time (HHMMSS'mmm and a
// space), keeps the text in a memory ring buffer and writes it to the file in batches: at once when
// the flush threshold has gathered, otherwise about one second after the first unwritten text,
// through a one-shot timer on the timer service given at construction.
//
// The file is open only while a flush runs (write access, open or create, others may read, handle
// inheritable), so other programs can read or move it between flushes; it is always appended to.
// Text written before set_file_name stays buffered; naming the file arms the usual delayed flush.
//
// Any thread may write. A critical section guards the buffer; it is released around memory
// allocation and freeing and around all file I/O, and a flushing flag keeps a second flush out while
// writes that arrive meanwhile land in the buffer. The flush timer's callback runs on the timer
// service's thread; the service must outlive the trace.
#pragma once

#include "cl/trace/trace_base.h"
#include "cl/timer/timer_handle.h"

#include <boost/function.hpp>

#include <windows.h>

#include <cstdint>
#include <string>

namespace cl {

class base_timer;
class file_hnd;

class file_trace : public trace_base {
public:
    // The trace starts without a path and without a buffer (allocated by the first write).
    explicit file_trace(base_timer& timer);
    // Unless closed: marks it closed and flushes (false); stops the flush timer, waiting for a
    // running callback; deletes the log files when asked to; frees the buffer.
    ~file_trace() override;

    using trace_base::write;
    // Buffers the text, one time-stamped line per line feed, LF written as CR LF. With may_defer
    // the buffer may grow and the flush timer is armed; a full buffer loses its oldest part, and
    // the gap is marked in the file with "\r\nbuffer overflow\r\n".
    void write(const char* text, bool may_defer) override;
    // Writes the held bytes to the file; nothing without a path, while another flush runs, or
    // when suspended. A failure keeps the bytes for the next flush (retried after 1000 ms when the
    // file could not be opened, with may_defer).
    void flush(bool may_defer) override;

    // Sets the log file path; text already held goes out about one second later.
    void set_file_name(const std::wstring& path);
    // Sets the buffer's initial size, maximum size (0 disables the trace) and flush threshold.
    // Negative values count as 0; an initial size above the maximum is cut to it.
    void set_buffer_sizes(int initial_size, int maximum_size, int flush_threshold);
    // Rotation: once a flush leaves the file larger than `size_limit` bytes, the file moves to
    // `backup_path` (replacing it). An empty path turns rotation off.
    void set_backup_file(const std::wstring& backup_path, std::int64_t size_limit);
    // If neither closed nor flushing: marks the trace closed and flushes (false). A closed trace
    // still buffers text and writes it out when a write reaches the threshold, but arms no timer.
    void close();
    // The flush timer's callback: flush (true) unless closed; then deletes the object when it
    // was asked to delete itself.
    void on_flush_timer();
    // Flushes, and while bytes are still held because the file could not be written (another
    // process holding it open for its own flush, say), tries again every 20 ms for up to
    // `timeout_ms`. For the end of the process, when no timer will retry.
    void drain(unsigned timeout_ms);
    // Stops the flush timer, waiting for a running callback (not from inside the callback).
    void stop_flush_timer();

    // Bytes held in the buffer now, the buffer's capacity, the file size after the last flush.
    int bytes_held() const;
    int capacity() const;
    std::int64_t file_size() const;

protected:
    // Called outside the critical section once the file is open: positions it at its end.
    virtual void on_opened(CRITICAL_SECTION& lock, file_hnd& file);
    // Called outside the critical section after the held bytes were written; does nothing.
    virtual void on_written(CRITICAL_SECTION& lock, file_hnd& file);

private:
    void lock() const { ::EnterCriticalSection(&lock_); }
    void unlock() const { ::LeaveCriticalSection(&lock_); }
    void write_locked(const char* text, bool may_defer, char*& garbage);
    void flush_locked(bool may_defer);
    void grow(char*& garbage);
    void compose_prefix();
    void local_time(std::uint64_t utc_ticks, SYSTEMTIME& local);
    void append(const char* data, int length);
    void arm_timer(int delay);
    std::int64_t expanded_size(const char* text, int length, int prefix_length) const;

    char* buffer_ = nullptr;
    char prefix_[32];
    int prefix_length_ = 0;
    // The prefix is composed again only when the millisecond changes (one log call costs less
    // than a millisecond), and the local time comes from the system time and the time zone bias
    // of the current minute: both together cost a fraction of GetLocalTime and four formats.
    std::uint64_t prefix_stamp_ = ~std::uint64_t{0};  // UTC milliseconds the prefix shows
    std::uint64_t bias_minute_ = ~std::uint64_t{0};   // UTC minute the bias was taken for
    std::int64_t bias_ = 0;                           // local minus UTC time, 100 ns units
    int capacity_ = 0;
    int threshold_ = 1024;
    int initial_size_ = 4096;
    int maximum_size_ = 32768;
    int held_ = 0;
    int write_index_ = 0;
    int read_index_ = 0;
    mutable CRITICAL_SECTION lock_;
    std::wstring path_;
    std::wstring backup_path_;
    std::int64_t file_size_ = 0;
    std::int64_t size_limit_ = 0;
    unsigned open_flags_;
    unsigned share_mode_;
    const char* time_format_ = "%02?%02?%02?";
    const char* millis_format_ = "'%03?";
    const char* time_separator_ = " ";
    const char* fixed_prefix_ = "";
    base_timer& timer_;
    timer_handle flush_timer_;
    boost::function<void()> flush_callback_;
    bool flushing_ = false;
    bool at_line_start_ = true;
    bool millis_shown_ = true;
    bool time_shown_ = true;
    bool closed_ = false;
    bool delete_self_ = false;   // delete the object after the next timer flush (heap objects only)
    bool delete_files_ = false;  // delete the log file and its backup on destruction
    bool suspended_ = false;
    bool overflow_ = false;
    char last_char_ = 0;         // last text byte buffered, for a CR LF split across writes
};

// The log file of the process, on the slow timer service (see trace.h).
extern file_trace g_file_trace;

}  // namespace cl
