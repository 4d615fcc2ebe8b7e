// cl::file_trace: the log file writer. Stamps every line with the local time (HHMMSS'mmm and a
// space), keeps the text in a memory ring buffer and writes it to the file in batches: at once when
// the flush threshold has gathered, otherwise about one second later, through a one-shot timer on
// the timer service given at construction.
//
// The file is appended to. While text keeps coming it stays open between flushes, and it is closed
// once no text has arrived for a second, by a flush without may_defer, and at destruction. It is
// opened with write access, open or create, the handle inheritable, and shared for reading, writing,
// renaming and deleting: others may read it at any time, append to it (a second copy of the program
// reports itself there) and move or delete it while it is open; every batch goes to the file's end
// as it is then, so an append of another process is never overwritten. An
// open file is let go of and opened again by name at the first flush a second after it was opened,
// so text reaches a moved file for at most that long before a new file is started.
//
// A full buffer drops whole lines, the oldest first, and a time-stamped "buffer overflow" line
// stands where they were. Text written while another thread's flush has the buffer full waits up to
// a quarter of a second for room; beyond that it is dropped and the mark stands in its place.
//
// Any thread may write. A critical section guards the buffer; it is released around memory
// allocation and freeing and around all file I/O, and a flushing flag keeps a second flush out while
// writes that arrive meanwhile land in the buffer. Both are held through scope guards, so an
// exception (an allocation failure while arming the timer, a throwing hook) leaves neither behind;
// it reaches the caller. The flush timer's callback runs on the timer service's thread; the service
// must outlive the trace.
#pragma once

#include "cl/file/file_hnd.h"
#include "cl/trace/trace_base.h"
#include "cl/timer/timer_handle.h"

#include <boost/function.hpp>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace cl {

class base_timer;

class file_trace : public trace_base {
public:
    // The trace starts without a path and without a buffer (allocated by the first write).
    explicit file_trace(base_timer& timer);
    // Marks the trace closed, writes what is held and closes the file; stops the flush timer,
    // waiting for a running callback; deletes the log files when asked to; frees the buffer.
    ~file_trace() override;

    using trace_base::write;
    // Buffers the text, one time-stamped line per line feed, LF written as CR LF. With may_defer
    // the buffer may grow and the flush timer is armed.
    void write(const char* text, bool may_defer) override;
    // Writes the held bytes to the file; nothing without a path, while another flush runs, or
    // when suspended. A file that cannot be opened or takes no bytes (disk full) keeps the bytes
    // for the next flush, retried after 1000 ms with may_defer. Without may_defer the file is
    // closed afterwards.
    void flush(bool may_defer) override;

    // Sets the log file path; text already held goes out about one second later. A file open
    // under the old name is closed.
    void set_file_name(const std::wstring& path);
    // Sets the buffer's initial size, maximum size (0 disables the trace) and flush threshold.
    // Negative values count as 0; an initial size above the maximum is cut to it.
    void set_buffer_sizes(int initial_size, int maximum_size, int flush_threshold);
    // Rotation, done by flushes with may_defer: when the next batch would take the file past
    // `size_limit` bytes, the file is renamed to `backup_path` (replacing an older backup) and a
    // new one is started. When the rename fails the log is kept and appended to, and the rename is
    // tried again a second later. An empty path or a limit of 0 turns rotation off.
    void set_backup_file(const std::wstring& backup_path, std::int64_t size_limit);
    // If neither closed nor flushing: marks the trace closed and flushes (false). A closed trace
    // still buffers text and writes it out when a write reaches the threshold, but arms no timer.
    void close();
    // The flush timer's callback: unless closed, flushes (true), closing the file when no text
    // has come for a second; then deletes the object when it was asked to delete itself.
    void on_flush_timer();
    // Flushes (false), and while bytes are still held because the file could not be written
    // (another process holding it, say), tries again every 20 ms for up to `timeout_ms`. For the
    // end of the process, when no timer will retry.
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
    class locked;
    class flushing;
    struct batch;

    void write_locked(locked& lock, const char* text, int length, bool may_defer, std::unique_ptr<char[]>& garbage);
    void flush_locked(locked& lock, bool may_defer, bool close_file = false);
    bool write_batch(const batch& job);
    bool open_file(const std::wstring& path, DWORD now);
    void grow(locked& lock, std::unique_ptr<char[]>& garbage);
    bool wait_for_room(locked& lock, int need);
    bool drop_oldest_lines(int need);
    void compose_prefix();
    void calibrate(std::uint64_t now_cycles, std::uint64_t ticks);
    void local_time(std::uint64_t utc_ticks, SYSTEMTIME& local);
    void append(const char* data, int length);
    void append_text(const char* text, int length);
    void consume(int count);
    void arm_timer(int delay);
    void schedule();
    int expanded_size(const char* text, int length) const;

    std::unique_ptr<char[]> buffer_;
    char prefix_[32];
    int prefix_length_ = 0;
    // The prefix is composed again only when the millisecond changes (one log call costs less
    // than a millisecond), and the local time comes from the system time and the time zone bias
    // of the current minute: both together cost a fraction of GetLocalTime and four formats.
    std::uint64_t prefix_stamp_ = ~std::uint64_t{0};  // UTC milliseconds the prefix shows
    std::uint64_t bias_minute_ = ~std::uint64_t{0};   // UTC minute the bias was taken for
    std::int64_t bias_ = 0;                           // local minus UTC time, 100 ns units
    std::uint64_t stamp_cycles_ = 0;       // cycle count when the system time was read last
    std::uint64_t stamp_cycles_left_ = 0;  // cycles from then on that surely stay in its millisecond
    std::uint64_t window_ticks_ = 0;       // start of the calibration window: system time, cycles
    std::uint64_t window_cycles_ = 0;
    std::uint64_t last_rate_ = 0;          // cycles per 100 ns in the last window
    std::uint64_t cycle_rate_ = 0;         // the rate trusted, 0 while there is none
    int capacity_ = 0;
    int threshold_ = 1024;
    int initial_size_ = 4096;
    int maximum_size_ = 32768;
    int held_ = 0;
    int write_index_ = 0;
    int read_index_ = 0;
    mutable CRITICAL_SECTION lock_;
    CONDITION_VARIABLE room_;    // signalled whenever a flush frees room or ends
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
    // The open file and what goes with it: used by the thread that set flushing_, or under the
    // lock while no flush runs.
    file_hnd file_;
    std::int64_t open_size_ = 0;      // size of the open file as this trace wrote it
    DWORD opened_tick_ = 0;
    DWORD rotate_failed_tick_ = 0;
    bool rotate_failed_ = false;
    DWORD last_text_tick_ = 0;        // when text last arrived: the file closes a second later
    DWORD flusher_ = 0;               // id of the thread flushing now
    int retry_ms_ = 1;                // delay of the next timer flush while bytes are held
    bool flushing_ = false;
    bool at_line_start_ = true;
    bool millis_shown_ = true;
    bool time_shown_ = true;
    bool closed_ = false;
    bool delete_self_ = false;   // delete the object after the next timer flush (heap objects only)
    bool delete_files_ = false;  // delete the log file and its backup on destruction
    bool suspended_ = false;
    bool gap_ = false;           // text was dropped at the write end: the mark goes in first
    bool stalled_ = false;       // a writer waited for room in vain during the current flush
    bool reopen_ = false;        // the path changed during a flush: close the file after it
    bool file_mid_line_ = false; // the last byte written is not a line end
    char last_char_ = 0;         // last text byte buffered, for a CR LF split across writes
};

// The log file of the process, on the slow timer service (see trace.h).
extern file_trace g_file_trace;

}  // namespace cl
