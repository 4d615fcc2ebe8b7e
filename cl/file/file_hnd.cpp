#include "cl/file/file_hnd.h"

#include "cl/format/convert.h"

#include <algorithm>
#include <cstring>

namespace cl {

namespace {

constexpr DWORD invalid_flags = 0xFFFFFFFF;
constexpr int64_t max_system_count = 0xFFFFFFFF;

io_fault_hook g_fault_hook = nullptr;

// The hook's verdict on one system call; false (with the error set) when it is to fail.
bool allowed(io_op op, HANDLE file, int64_t count) {
    const io_fault_hook hook = g_fault_hook;
    if (!hook) return true;
    const DWORD error = hook(op, file, count);
    if (error == 0) return true;
    ::SetLastError(error);
    return false;
}

struct open_request {
    DWORD access = 0;
    DWORD share = 0;
    DWORD disposition = 0;
    DWORD attributes = 0;
    bool inherit = false;
};

// Translates the C runtime style flags; false for an invalid combination.
bool translate_flags(unsigned flags, unsigned share, open_request& req) {
    if (!(flags & (o_text | o_binary))) flags |= o_binary;
    if (!(flags & (o_random | o_sequential))) flags |= o_sequential;

    switch (flags & 3u) {
    case o_rdonly: req.access = GENERIC_READ; break;
    case o_wronly: req.access = GENERIC_WRITE; break;
    case o_rdwr: req.access = GENERIC_READ | GENERIC_WRITE; break;
    default: return false;
    }
    // Append-only access: the system puts every write at the file's end as it is at that moment,
    // so writers in several processes never overwrite each other, and no seek is needed.
    if ((flags & o_append) && (flags & 3u) != o_rdonly)
        req.access = (req.access & GENERIC_READ) | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

    switch (share & ~sh_delete) {
    case sh_denyrw: req.share = 0; break;
    case sh_denywr: req.share = FILE_SHARE_READ; break;
    case sh_denyrd: req.share = FILE_SHARE_WRITE; break;
    case sh_denyno: req.share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: return false;
    }
    if (share & sh_delete) req.share |= FILE_SHARE_DELETE;

    const bool create = (flags & o_creat) != 0;
    const bool trunc = (flags & o_trunc) != 0;
    const bool excl = (flags & o_excl) != 0;
    if (create && excl) req.disposition = CREATE_NEW;
    else if (create && trunc) req.disposition = CREATE_ALWAYS;
    else if (create) req.disposition = OPEN_ALWAYS;
    else if (trunc) req.disposition = TRUNCATE_EXISTING;
    else req.disposition = OPEN_EXISTING;

    req.attributes = (flags & o_short_lived) ? FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL;
    if (flags & o_sequential) req.attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    else if (flags & o_random) req.attributes |= FILE_FLAG_RANDOM_ACCESS;
    if (flags & o_temporary) {
        if (!create) return false;
        req.attributes |= FILE_FLAG_DELETE_ON_CLOSE;
        req.access |= DELETE;
    }
    if (flags & o_write_through) req.attributes |= FILE_FLAG_WRITE_THROUGH;
    req.inherit = !(flags & o_noinherit);
    return true;
}

}  // namespace

void set_io_fault_hook(io_fault_hook hook) noexcept { g_fault_hook = hook; }

file_hnd::file_hnd() noexcept = default;

file_hnd::~file_hnd() { close_handle(); }

void file_hnd::close_handle() noexcept {
    handle_.reset();
    readable_ = writable_ = pending_ = false;
}

int64_t file_hnd::size() {
    const int64_t pos = tell();
    if (pos < 0) return -1;
    const int64_t end = seek(0, seek_end);
    seek(pos, seek_begin);
    return end;
}

void file_hnd::close() { close_handle(); }

bool file_hnd::read_line(std::wstring& line) {
    std::string bytes;
    const bool result = read_line(bytes);
    line = widen(bytes);
    return result;
}

bool file_hnd::read_line(std::string& line) {
    line.clear();
    line_end_ = line_end_kind::none;
    if (read_failed_) return false;
    for (;;) {
        uint8_t byte;
        if (read(&byte, 1) < 1) {
            line_end_ = line_end_kind::none;
            return !line.empty() && !read_failed_;
        }
        if (byte == '\n') {
            line_end_ = line_end_kind::lf;
            return true;
        }
        if (byte == '\r') {
            uint8_t next;
            line_end_ = line_end_kind::cr;
            if (read(&next, 1) >= 1) {
                if (next == '\n') {
                    line_end_ = line_end_kind::crlf;
                } else {
                    pushed_back_ = next;
                    pending_ = true;
                }
            }
            return true;
        }
        line.push_back(static_cast<char>(byte));
    }
}

bool file_hnd::open(const std::wstring& path, unsigned flags, unsigned share) {
    close();
    line_end_ = line_end_kind::none;
    open_request req;
    if (!translate_flags(flags, share, req)) {
        last_error_ = invalid_flags;
        return false;
    }
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof(sa);
    sa.bInheritHandle = req.inherit ? TRUE : FALSE;
    HANDLE h = ::CreateFileW(path.c_str(), req.access, req.share, &sa, req.disposition,
                             req.attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        last_error_ = ::GetLastError();
        return false;
    }
    // OPEN_ALWAYS and CREATE_ALWAYS leave ERROR_ALREADY_EXISTS behind on success.
    last_error_ = 0;
    read_failed_ = false;
    handle_.reset(h);
    readable_ = (req.access & GENERIC_READ) != 0;
    writable_ = (req.access & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0;
    pending_ = false;
    return true;
}

int64_t file_hnd::seek(int64_t offset, int origin) {
    pending_ = false;
    if (!handle_) return -1;
    LARGE_INTEGER li;
    li.QuadPart = offset;
    // A position whose low part is all ones is valid: only the error code tells a failure.
    ::SetLastError(NO_ERROR);
    li.LowPart = ::SetFilePointer(handle_.get(), static_cast<LONG>(li.LowPart), &li.HighPart,
                                  static_cast<DWORD>(origin));
    if (li.LowPart == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return -1;
    return li.QuadPart;
}

int64_t file_hnd::tell() {
    if (!handle_) return -1;
    LARGE_INTEGER li;
    li.QuadPart = 0;
    ::SetLastError(NO_ERROR);
    li.LowPart = ::SetFilePointer(handle_.get(), 0, &li.HighPart, FILE_CURRENT);
    if (li.LowPart == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return -1;
    return li.QuadPart;
}

int64_t file_hnd::system_read(void* buffer, int64_t count) noexcept {
    if (!handle_) return -1;
    if (count <= 0) return 0;
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min(count, max_system_count));
    if (!allowed(io_op::read, handle_.get(), want) || !::ReadFile(handle_.get(), buffer, want, &done, nullptr)) {
        read_failed_ = true;
        return -1;
    }
    return done;
}

int64_t file_hnd::system_write(const void* buffer, int64_t count) noexcept {
    if (!handle_) return -1;
    if (count <= 0) return 0;
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min(count, max_system_count));
    if (!allowed(io_op::write, handle_.get(), want) || !::WriteFile(handle_.get(), buffer, want, &done, nullptr)) return -1;
    return done;
}

int64_t file_hnd::read(void* buffer, int64_t count) {
    if (!readable_) return -1;
    if (count <= 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t delivered = 0;
    if (pending_) {
        *out++ = pushed_back_;
        pending_ = false;
        delivered = 1;
        if (--count == 0) return 1;
    }
    const int64_t got = system_read(out, count);
    // The pushed-back byte has left the object: it counts even when the system read fails.
    if (got < 0) return delivered ? delivered : -1;
    return delivered + got;
}

int64_t file_hnd::write(const void* buffer, int64_t count) {
    if (!writable_) return -1;
    return system_write(buffer, count);
}

bool file_hnd::truncate() {
    return handle_ && allowed(io_op::truncate, handle_.get(), 0) && ::SetEndOfFile(handle_.get()) != FALSE;
}

bool file_hnd::write_string(const std::wstring& text) {
    if (text.empty()) return true;
    const std::string bytes = narrow(text);
    if (bytes.empty()) return false;
    return write(bytes.data(), static_cast<int64_t>(bytes.size())) == static_cast<int64_t>(bytes.size());
}

bool file_hnd::write_string(const std::string& text) {
    if (text.empty()) return true;
    return write(text.data(), static_cast<int64_t>(text.size())) == static_cast<int64_t>(text.size());
}

bool file_hnd::write_char(wchar_t ch) {
    const std::string bytes = narrow(&ch, std::size_t{1});
    if (bytes.empty()) return false;
    return write(bytes.data(), static_cast<int64_t>(bytes.size())) == static_cast<int64_t>(bytes.size());
}

bool file_hnd::write_byte(uint8_t byte) { return write(&byte, 1) == 1; }

bool file_hnd::read_char(wchar_t& ch) {
    uint8_t bytes[7];
    if (read(bytes, 1) < 1) return false;
    // Bytes below 0x80 are single characters with the same value in every ANSI code page
    // (NUL included), so the common case needs no look-ahead and no seek back.
    if (bytes[0] < 0x80) {
        ch = bytes[0];
        return true;
    }
    const int64_t more = read(bytes + 1, 6);
    const int n = 1 + static_cast<int>(more > 0 ? more : 0);
    wchar_t units[8];
    const int units_count = ::MultiByteToWideChar(CP_THREAD_ACP, MB_PRECOMPOSED,
                                                  reinterpret_cast<const char*>(bytes), n, units, 8);
    if (units_count < 1) return false;
    ch = units[0];
    // The unit converted back tells how many bytes the first character took.
    char back[8];
    int used = ::WideCharToMultiByte(CP_THREAD_ACP, WC_COMPOSITECHECK, &ch, 1, back, sizeof(back),
                                     nullptr, nullptr);
    used = std::max(1, std::min(used, n));
    if (used < n) seek(used - n, seek_current);
    return true;
}

bool file_hnd::read_byte(uint8_t& byte) { return read(&byte, 1) == 1; }

bool file_hnd::file_not_found() const noexcept {
    return !handle_ && last_error_ == ERROR_FILE_NOT_FOUND;
}

}  // namespace cl
