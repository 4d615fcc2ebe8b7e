// cl::file_stream: a cl::file_hnd with one memory buffer that serves as read-ahead when reading
// and as write-behind when writing (never both at once).
//
// The stream owns its buffer (allocated by the constructor) and, through cl::file_hnd, its
// handle. Pending bytes are written on every close path: close(), the next open() and the
// destructor. A caller switching from reading to writing calls seek() or tell() in between;
// switching from writing to reading needs nothing. One thread at a time; nothing is locked.
#pragma once

#include "cl/file/file_hnd.h"

#include <cstdint>
#include <memory>

namespace cl {

class file_stream : public file_hnd {
public:
    // `buffer_size` bytes of buffer (every user in the system passes 4096). If the buffer cannot
    // be allocated, the stream works unbuffered.
    explicit file_stream(uint32_t buffer_size);
    ~file_stream() override;

    // Writes pending bytes (if any), then closes the handle.
    void close() override;
    // Write pending bytes or give back unread read-ahead first; -1 on failure.
    int64_t seek(int64_t offset, int origin) override;
    int64_t tell() override;
    // Buffered read: answers as cl::file_hnd::read (-1 also when pending writes could not be
    // written first).
    int64_t read(void* buffer, int64_t count) override;
    // Buffered write: the count taken, 0 when pending bytes could not be written first, -1 when
    // the file is not writable or the system write failed.
    int64_t write(const void* buffer, int64_t count) override;
    bool truncate() override;

    // Brings the file in line with the stream: pending writes are written (false if that fails;
    // they are dropped then), or unread read-ahead is given back by moving the file position.
    bool flush();
    uint32_t buffer_size() const noexcept { return buffer_size_; }

protected:
    // For line readers of derived classes that scan the buffer instead of reading byte by byte:
    // the read-ahead bytes not yet delivered, at `data`, after one system read refilled the
    // buffer if none were held. Answers 0 (the caller then goes through read(), which handles
    // every case) when a pushed-back byte or write-behind is waiting, the stream is unbuffered or
    // not readable, or the refill read nothing.
    int64_t buffered(const uint8_t*& data);
    // Marks `count` bytes of those that buffered() answered as delivered.
    void consume(int64_t count) noexcept { read_pos_ += count; }
    // Gives back the one byte that the last read() delivered, so that the next read delivers it
    // again; never after a read that delivered the pushed-back byte. False when the file position
    // cannot be moved back.
    bool unread_byte();

private:
    // Writes the pending bytes; on failure the unwritten rest stays at the buffer start when
    // `keep_rest`, else it is dropped.
    bool write_pending(bool keep_rest);
    void reset_cursors() noexcept;

    uint32_t buffer_size_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint8_t* read_pos_;
    uint8_t* read_end_;
    uint8_t* write_pos_;
    uint8_t* write_end_;
};

}  // namespace cl
