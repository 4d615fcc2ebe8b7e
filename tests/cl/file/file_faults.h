// Shared by the file and INI tests: text as a file's bytes in each encoding, and a fault injector.
#pragma once

#include "cl/file/uni_file.h"
#include "cl/format/convert.h"
#include "support/support.h"

namespace ft {

using enc = cl::uni_file::encoding;
const enc all_encodings[] = {cl::uni_file::ansi, cl::uni_file::utf8, cl::uni_file::utf16le,
                             cl::uni_file::utf16be, cl::uni_file::utf32le, cl::uni_file::utf32be};
inline std::string mark(enc e) {
    static const char bytes[] = "\xEF\xBB\xBF\xFF\xFE\xFE\xFF\xFF\xFE\0\0\0\0\xFE\xFF";
    const int at[] = {0, 0, 3, 5, 7, 11}, size[] = {0, 3, 2, 2, 4, 4};
    return std::string(bytes + at[e], size[e]);
}
// Text as a file in `e` with its mark; ANSI is the thread's code page.
inline std::string encode(const std::wstring& text, enc e) {
    if (e <= cl::uni_file::utf8) return e ? mark(e) + ts::utf8(text) : cl::narrow(text);
    std::string out = mark(e);
    const int width = e <= cl::uni_file::utf16be ? 2 : 4, big = e == cl::uni_file::utf16be || e == cl::uni_file::utf32be;
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t code = static_cast<uint16_t>(text[i]);
        if (width == 4 && code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size())
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
        for (int b = 0; b < width; ++b) out += static_cast<char>(code >> (8 * (big ? width - 1 - b : b)));
    }
    return out;
}
// Fails the `n`-th system call of kind `op`; with `disk_full`, from the n-th write on every write
// that would grow its file. `fired` tells whether a call failed. Off again at destruction.
struct fault {
    fault(cl::io_op kind, int n, bool full = false) {
        op = kind, left = n, disk_full = full, fired = false;
        cl::set_io_fault_hook(&hook);
    }
    ~fault() { cl::set_io_fault_hook(nullptr); }
    static inline cl::io_op op;
    static inline int left;
    static inline bool disk_full, fired;
    static DWORD hook(cl::io_op kind, HANDLE file, int64_t count) {
        if (kind != op || --left > 0 || (!disk_full && left < 0)) return 0;
        LARGE_INTEGER pos = {}, size = {}, zero = {};
        if (disk_full && ::SetFilePointerEx(file, zero, &pos, FILE_CURRENT) && ::GetFileSizeEx(file, &size) &&
            pos.QuadPart + count <= size.QuadPart)
            return 0;
        fired = true;
        return kind == cl::io_op::write ? ERROR_DISK_FULL : ERROR_IO_DEVICE;
    }
};

}  // namespace ft
