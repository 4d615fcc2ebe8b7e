#include "cl/file/file_stream.h"

#include <cstring>
#include <new>

namespace cl {

file_stream::file_stream(uint32_t buffer_size)
    : buffer_size_(buffer_size), buffer_(new (std::nothrow) uint8_t[buffer_size ? buffer_size : 1]) {
    if (!buffer_) buffer_size_ = 0;
    reset_cursors();
}

file_stream::~file_stream() {
    // The base destructor would only reach file_hnd::close: write what is pending here.
    file_stream::close();
}

void file_stream::reset_cursors() noexcept {
    read_pos_ = read_end_ = write_pos_ = write_end_ = buffer_.get();
}

bool file_stream::write_pending(bool keep_rest) {
    uint8_t* const start = buffer_.get();
    const int64_t count = write_pos_ - start;
    const int64_t done = system_write(start, count);
    if (done == count) {
        write_pos_ = write_end_ = start;
        return true;
    }
    if (keep_rest && done > 0) {
        std::memmove(start, start + done, static_cast<size_t>(count - done));
        write_pos_ = start + (count - done);
    } else if (!keep_rest) {
        write_pos_ = write_end_ = start;
    }
    return false;
}

bool file_stream::flush() {
    if (write_pos_ != buffer_.get()) return write_pending(false);
    bool ok = true;
    const int64_t unread = read_end_ - read_pos_;
    if (read_end_ != buffer_.get()) pending_ = false;
    if (unread > 0) ok = file_hnd::seek(-unread, seek_current) >= 0;
    read_pos_ = read_end_ = buffer_.get();
    return ok;
}

void file_stream::close() {
    flush();
    reset_cursors();
    file_hnd::close();
}

int64_t file_stream::seek(int64_t offset, int origin) {
    if (!flush()) return -1;
    return file_hnd::seek(offset, origin);
}

int64_t file_stream::tell() {
    if (!flush()) return -1;
    return file_hnd::tell();
}

int64_t file_stream::read(void* buffer, int64_t count) {
    if (count <= 0) return readable_ ? 0 : -1;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t delivered = 0;
    if (pending_) {
        *out++ = pushed_back_;
        pending_ = false;
        delivered = 1;
        if (--count == 0) return 1;
    }
    const int64_t held = read_end_ - read_pos_;
    if (held >= count) {
        std::memcpy(out, read_pos_, static_cast<size_t>(count));
        read_pos_ += count;
        return delivered + count;
    }
    if (!readable_) return delivered ? delivered : -1;
    if (write_pos_ != buffer_.get() && !write_pending(true)) return delivered ? delivered : -1;

    if (held > 0) {
        std::memcpy(out, read_pos_, static_cast<size_t>(held));
        out += held;
        delivered += held;
        count -= held;
    }
    read_pos_ = read_end_ = buffer_.get();

    // Straight into the caller's buffer; only a read that got everything it asked for refills
    // the read-ahead (a short read means the end of the file is reached). A failed read is an
    // error, never an end of file; bytes delivered before it still count, and the next call
    // meets the failure again.
    const int64_t got = system_read(out, count);
    if (got < 0) return delivered ? delivered : -1;
    if (got == 0) return delivered;
    delivered += got;
    if (got == count && buffer_size_ > 0) {
        const int64_t ahead = system_read(buffer_.get(), buffer_size_);
        if (ahead > 0) read_end_ = buffer_.get() + ahead;
    }
    return delivered;
}

int64_t file_stream::write(const void* buffer, int64_t count) {
    if (count < 0 || !writable_) return -1;
    if (count == 0) return 0;
    if (write_end_ - write_pos_ >= count) {
        std::memcpy(write_pos_, buffer, static_cast<size_t>(count));
        write_pos_ += count;
        return count;
    }
    // Read-ahead is dropped without moving the file: callers seek between reading and writing.
    read_pos_ = read_end_ = buffer_.get();
    if (write_end_ == buffer_.get() && count < buffer_size_) {
        write_end_ = buffer_.get() + buffer_size_;
        std::memcpy(buffer_.get(), buffer, static_cast<size_t>(count));
        write_pos_ = buffer_.get() + count;
        return count;
    }
    if (write_pos_ != buffer_.get() && !write_pending(true)) return 0;
    write_end_ = buffer_.get();
    return system_write(buffer, count);
}

int64_t file_stream::buffered(const uint8_t*& data) {
    if (pending_ || !readable_ || buffer_size_ == 0 || write_pos_ != buffer_.get()) return 0;
    if (read_pos_ == read_end_) {
        read_pos_ = read_end_ = buffer_.get();
        const int64_t got = system_read(buffer_.get(), buffer_size_);
        if (got <= 0) return 0;
        read_end_ = buffer_.get() + got;
    }
    data = read_pos_;
    return read_end_ - read_pos_;
}

bool file_stream::unread_byte() {
    // A byte taken from the read-ahead is still in the buffer; one read straight from the file
    // (the buffer was empty then) is given back by moving the file position.
    if (read_pos_ > buffer_.get()) {
        --read_pos_;
        return true;
    }
    return flush() && file_hnd::seek(-1, seek_current) >= 0;
}

bool file_stream::truncate() {
    if (!flush()) return false;
    return file_hnd::truncate();
}

}  // namespace cl
