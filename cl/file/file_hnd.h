// cl::file_hnd: owner of one Windows file handle with open, positioning, raw reads and writes,
// line and character reads and small writers, all as virtual operations so that buffered and
// encoding-aware files (cl::file_stream, cl::uni_file) can take over.
//
// The object is the sole owner of its handle: it is closed by close(), by the next open() and by
// the destructor. Not copyable. One thread at a time; nothing is locked.
#pragma once

#include "cl/base/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace cl {

// Open flags (first flag argument of open); the values are those of the C runtime.
constexpr unsigned o_rdonly = 0x0;           // access: read only
constexpr unsigned o_wronly = 0x1;           // access: write only
constexpr unsigned o_rdwr = 0x2;             // access: read and write (3 is invalid)
constexpr unsigned o_append = 0x8;           // with write access: every write goes to the end
constexpr unsigned o_random = 0x10;          // random-access hint
constexpr unsigned o_sequential = 0x20;      // sequential-access hint (the default)
constexpr unsigned o_temporary = 0x40;       // delete when the handle closes; needs o_creat
constexpr unsigned o_noinherit = 0x80;       // handle not inherited by child processes
constexpr unsigned o_creat = 0x100;          // create
constexpr unsigned o_trunc = 0x200;          // truncate
constexpr unsigned o_excl = 0x400;           // with o_creat: the file must not exist
constexpr unsigned o_short_lived = 0x1000;   // temporary-file attribute
constexpr unsigned o_text = 0x4000;          // accepted, no effect: bytes are never translated
constexpr unsigned o_binary = 0x8000;        // byte mode (the default)
constexpr unsigned o_write_through = 0x10000;

// Share modes (second flag argument of open); sh_delete may be added to any of the four others.
constexpr unsigned sh_denyrw = 0x10;  // no sharing
constexpr unsigned sh_denywr = 0x20;  // others may read
constexpr unsigned sh_denyrd = 0x30;  // others may write
constexpr unsigned sh_denyno = 0x40;  // others may read and write
constexpr unsigned sh_delete = 0x100; // others may also delete or rename

// Seek origins (the values of FILE_BEGIN, FILE_CURRENT, FILE_END).
constexpr int seek_begin = 0;
constexpr int seek_current = 1;
constexpr int seek_end = 2;

// How the line last read by read_line ended.
enum class line_end_kind : unsigned char { none = 0, lf = 1, cr = 2, crlf = 3 };

// A seam for tests that prove failure paths: while a hook is set, every system read, write and
// end-of-file change made by any file_hnd of the process asks it first (with the byte count of a
// read or write), and a non-zero answer makes that call fail with that Windows error code without
// reaching the system. nullptr (the default) turns it off. Set it only while no other thread uses
// files.
enum class io_op { read, write, truncate };
using io_fault_hook = DWORD (*)(io_op op, HANDLE file, int64_t count);
void set_io_fault_hook(io_fault_hook hook) noexcept;

class file_hnd {
public:
    file_hnd() noexcept;
    file_hnd(const file_hnd&) = delete;
    file_hnd& operator=(const file_hnd&) = delete;

    // Virtual operations, in this order.

    // Size of the file in bytes, the position kept; -1 on failure.
    virtual int64_t size();
    // Closes the handle (no-op when closed).
    virtual void close();
    // One line, converted from the thread's ANSI code page; answer as the narrow read_line.
    virtual bool read_line(std::wstring& line);
    // One line of bytes without its ending (LF, CR or CR LF; see line_end()). True when a line
    // end was met or a byte was read; false at end of file with nothing read, and false whenever a
    // system read has failed since the open (read_failed()).
    virtual bool read_line(std::string& line);
    // Closes, then opens `path` with open flags and share mode (o_*, sh_*). False when no handle
    // was obtained; last_error() then holds the Windows error, or 0xFFFFFFFF for invalid flags.
    virtual bool open(const std::wstring& path, unsigned flags, unsigned share);
    virtual ~file_hnd();
    // Moves the position (origin seek_begin/current/end); a pushed-back byte is dropped.
    // The new position, or -1.
    virtual int64_t seek(int64_t offset, int origin);
    // The current position, or -1.
    virtual int64_t tell();
    // Reads up to `count` bytes: the count read (0 at end of file), or -1 when nothing could be
    // read (not readable, or the system read failed before any byte was delivered; read_failed()
    // tells the second).
    virtual int64_t read(void* buffer, int64_t count);
    // Writes `count` bytes: the count written, or -1 (not writable, or the write failed).
    virtual int64_t write(const void* buffer, int64_t count);
    // Sets the end of the file at the current position.
    virtual bool truncate();
    // Text converted to the thread's ANSI code page and written; true when every byte was.
    virtual bool write_string(const std::wstring& text);
    // The bytes of `text` written; true when every byte was.
    virtual bool write_string(const std::string& text);
    // One UTF-16 unit converted to the thread's ANSI code page and written.
    virtual bool write_char(wchar_t ch);
    virtual bool write_byte(uint8_t byte);
    // One character of the thread's ANSI code page as one UTF-16 unit; false at end of file.
    virtual bool read_char(wchar_t& ch);
    virtual bool read_byte(uint8_t& byte);

    // True when the file is closed because the last open found no file (error 2).
    bool file_not_found() const noexcept;
    bool is_open() const noexcept { return static_cast<bool>(handle_); }
    // The handle, still owned by this object (INVALID_HANDLE_VALUE when closed).
    HANDLE handle() const noexcept { return handle_.get(); }
    // Result of the last open: 0, a Windows error code, or 0xFFFFFFFF for invalid flags.
    DWORD last_error() const noexcept { return last_error_; }
    line_end_kind line_end() const noexcept { return line_end_; }
    // True once a system read has failed since the last open: readers that answer "no more" then
    // mean an error, not the end of the file.
    bool read_failed() const noexcept { return read_failed_; }
    bool readable() const noexcept { return readable_; }
    bool writable() const noexcept { return writable_; }

protected:
    // Closes the handle and clears the flags; never virtual, so destructors may use it.
    void close_handle() noexcept;
    // ReadFile / WriteFile for up to 4 GiB - 1 bytes; the count moved, or -1 on failure.
    int64_t system_read(void* buffer, int64_t count) noexcept;
    int64_t system_write(const void* buffer, int64_t count) noexcept;

    unique_file_handle handle_;
    DWORD last_error_ = 0;
    line_end_kind line_end_ = line_end_kind::none;
    bool readable_ = false;
    bool writable_ = false;
    bool read_failed_ = false;
    bool pending_ = false;      // pushed_back_ waits to be delivered before any byte of the file
    uint8_t pushed_back_ = 0;
};

}  // namespace cl
