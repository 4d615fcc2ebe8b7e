// Shared by the file and INI tests: text as the bytes of a file in each encoding, and the fault
// injector behind cl::set_io_fault_hook (one system call of a kind fails, or a full disk).
#pragma once

#include "cl/file/uni_file.h"
#include "cl/format/convert.h"
#include "support/support.h"

namespace ft {

using enc = cl::uni_file::encoding;
const enc all_encodings[] = {cl::uni_file::ansi, cl::uni_file::utf8, cl::uni_file::utf16le,
                             cl::uni_file::utf16be, cl::uni_file::utf32le, cl::uni_file::utf32be};

inline std::string mark(enc e) {
    static const char* const marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xFF\xFE\0\0", "\0\0\xFE\xFF"};
    static const std::size_t sizes[] = {0, 3, 2, 2, 4, 4};
    return std::string(marks[e], sizes[e]);
}

// Text as a file in `e` with its mark; ANSI is the thread's code page, UTF-8 goes through ts::utf8.
inline std::string encode(const std::wstring& text, enc e) {
    if (e == cl::uni_file::ansi) return cl::narrow(text);
    if (e == cl::uni_file::utf8) return mark(e) + ts::utf8(text);
    std::string out = mark(e);
    const bool big = e == cl::uni_file::utf16be || e == cl::uni_file::utf32be;
    const int width = e <= cl::uni_file::utf16be ? 2 : 4;
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t code = static_cast<uint16_t>(text[i]);
        if (width == 4 && code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size())
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
        for (int b = 0; b < width; ++b) out += static_cast<char>(code >> (8 * (big ? width - 1 - b : b)));
    }
    return out;
}

// Fails the `n`-th system call of kind `op` (ERROR_DISK_FULL for writes, ERROR_IO_DEVICE else);
// with `disk_full`, from the n-th write on every write that would grow its file fails instead.
// fired() tells whether the call came; off at destruction.
class fault {
public:
    fault(cl::io_op op, int n, bool disk_full = false) {
        s() = {op, n, disk_full, false};
        cl::set_io_fault_hook(&hook);
    }
    ~fault() { cl::set_io_fault_hook(nullptr); }
    static bool fired() { return s().fired; }

private:
    struct state {
        cl::io_op op;
        int left;
        bool disk_full, fired;
    };
    static state& s() {
        static state st;
        return st;
    }
    static DWORD hook(cl::io_op op, HANDLE file, int64_t count) {
        if (op != s().op || (--s().left > 0)) return 0;
        if (s().disk_full) {
            LARGE_INTEGER pos = {}, size = {}, zero = {};
            ::SetFilePointerEx(file, zero, &pos, FILE_CURRENT);
            ::GetFileSizeEx(file, &size);
            if (pos.QuadPart + count <= size.QuadPart) return 0;
        } else if (s().left < 0) {
            return 0;
        }
        s().fired = true;
        return op == cl::io_op::write ? ERROR_DISK_FULL : ERROR_IO_DEVICE;
    }
};

}  // namespace ft
