#include "cl/file/uni_file.h"

#include "cl/format/convert.h"

#include <cstring>
#include <typeinfo>

namespace cl {

namespace {

struct bom_entry {
    uint8_t bytes[4];
    int32_t size;
};

// Indexed by uni_file::encoding.
constexpr bom_entry boms[] = {
    {{0, 0, 0, 0}, 0},              // ansi
    {{0xEF, 0xBB, 0xBF, 0}, 3},     // utf8
    {{0xFF, 0xFE, 0, 0}, 2},        // utf16le
    {{0xFE, 0xFF, 0, 0}, 2},        // utf16be
    {{0xFF, 0xFE, 0x00, 0x00}, 4},  // utf32le
    {{0x00, 0x00, 0xFE, 0xFF}, 4},  // utf32be
};

constexpr int64_t max_text_file = 0x8000000;  // 128 MiB
constexpr int64_t copy_block = 4096;

bool valid_encoding(uni_file::encoding enc) { return enc >= uni_file::ansi && enc <= uni_file::utf32be; }

// Index of the first LF or CR among `count` bytes, `count` when there is none. Eight bytes at a
// time: a word holding no byte below 0x0E (the usual case, text) holds neither.
int64_t find_line_end(const uint8_t* data, int64_t count) {
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        // Non-zero when some byte is below 0x0E (bytes of 0x80 and above never count).
        if (((word - ones * 0x0E) & ~word & highs) != 0) break;
    }
    while (i < count && (data[i] > '\r' || (data[i] != '\n' && data[i] != '\r'))) ++i;
    return i;
}

// Bytes below 0x80 as UTF-16 units, in place (the range forms of std::wstring::append and assign
// would build a temporary string for every line).
void append_widened(std::wstring& line, const uint8_t* bytes, std::size_t count) {
    const std::size_t at = line.size();
    line.resize(at + count);
    wchar_t* out = &line[0] + at;
    for (std::size_t i = 0; i < count; ++i) out[i] = bytes[i];
}

// The bytes as UTF-16 units when all are below 0x80; false (and `line` undefined) otherwise.
bool assign_ascii(std::wstring& line, const uint8_t* bytes, std::size_t count) {
    line.resize(count);
    wchar_t* out = &line[0];
    unsigned seen = 0;
    for (std::size_t i = 0; i < count; ++i) {
        seen |= bytes[i];
        out[i] = bytes[i];
    }
    return seen < 0x80;
}

bool is_high_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

uni_file::uni_file(uint32_t buffer_size) : file_stream(buffer_size) {}

void uni_file::clear_read_back() noexcept {
    has_pushback_ = false;
    pending_low_ = 0;
    pending_count_ = pending_next_ = 0;
}

bool uni_file::scans_buffer() const { return typeid(*this) == typeid(uni_file); }

void uni_file::finish_cr() {
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
}

bool uni_file::read_byte_line(std::string& line) {
    line.clear();
    line_end_ = line_end_kind::none;
    if (read_failed_) return false;
    for (;;) {
        const uint8_t* data = nullptr;
        const int64_t count = buffered(data);
        if (count == 0) {
            // A pushed-back byte, the end of the file or a failure: one byte the ordinary way.
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
                finish_cr();
                return true;
            }
            line.push_back(static_cast<char>(byte));
            continue;
        }
        const int64_t i = find_line_end(data, count);
        line.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(i));
        if (i == count) {
            consume(count);
            continue;
        }
        const uint8_t end = data[i];
        consume(i + 1);
        if (end == '\n') {
            line_end_ = line_end_kind::lf;
        } else {
            finish_cr();
        }
        return true;
    }
}

bool uni_file::read_line(std::wstring& line) {
    const bool scan = scans_buffer();
    if (enc_ == ansi) {
        std::string& bytes = line_bytes_;
        const bool result = scan ? read_byte_line(bytes) : file_hnd::read_line(bytes);
        // ASCII is the same in every ANSI code page: copied as it is, without a conversion call.
        if (!assign_ascii(line, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) line = widen(bytes);
        return result;
    }
    line.clear();
    line_end_ = line_end_kind::none;
    if (read_failed_) return false;
    const bool fast = scan && (enc_ == utf8 || enc_ == utf16le || enc_ == utf16be);
    for (;;) {
        // Runs of plain characters come straight from the buffer; line ends, multi-byte UTF-8,
        // characters split across refills and read-back state go through decode_char below.
        if (fast && !has_pushback_ && !pending_low_) {
            const uint8_t* data = nullptr;
            const int64_t count = buffered(data);
            int64_t i = 0;
            if (enc_ == utf8) {
                while (i < count && data[i] < 0x80 && data[i] != '\n' && data[i] != '\r') ++i;
                append_widened(line, data, static_cast<std::size_t>(i));
            } else {
                const bool le = enc_ == utf16le;
                for (; i + 1 < count; i += 2) {
                    const wchar_t c = le ? static_cast<wchar_t>(data[i] | (data[i + 1] << 8))
                                         : static_cast<wchar_t>((data[i] << 8) | data[i + 1]);
                    if (c == L'\n' || c == L'\r') break;
                    line.push_back(c);
                }
            }
            consume(i);
        }
        wchar_t ch;
        if (!decode_char(ch)) {
            line_end_ = line_end_kind::none;
            return !line.empty() && !read_failed_;
        }
        if (ch == L'\n') {
            line_end_ = line_end_kind::lf;
            return true;
        }
        if (ch == L'\r') {
            line_end_ = line_end_kind::cr;
            if (decode_char(pushback_char_)) {
                if (pushback_char_ == L'\n') line_end_ = line_end_kind::crlf;
                else has_pushback_ = true;
            }
            return true;
        }
        line.push_back(ch);
    }
}

bool uni_file::read_line(std::string& line) {
    if (enc_ == ansi) return scans_buffer() ? read_byte_line(line) : file_hnd::read_line(line);
    std::wstring wide;
    const bool result = read_line(wide);
    line = narrow(wide);
    return result;
}

bool uni_file::open(const std::wstring& path, unsigned flags, unsigned share) {
    return open(path, flags, utf16le, share);
}

bool uni_file::open(const std::wstring& path, unsigned flags, encoding default_encoding, unsigned share) {
    if (!file_hnd::open(path, flags, share)) return false;
    detect_encoding(default_encoding);
    return true;
}

int64_t uni_file::seek(int64_t offset, int origin) {
    clear_read_back();
    const int64_t pos = file_stream::seek(origin == seek_begin ? offset + bom_size_ : offset, origin);
    return pos < 0 ? -1 : pos - bom_size_;
}

int64_t uni_file::tell() {
    const int64_t pos = file_stream::tell();
    return pos < 0 ? -1 : pos - bom_size_;
}

bool uni_file::write_string(const std::wstring& text) {
    for (wchar_t ch : text)
        if (!encode_char(ch)) return false;
    return true;
}

bool uni_file::write_string(const std::string& text) {
    if (text.empty()) return true;
    const std::wstring wide = widen(text);
    return !wide.empty() && write_string(wide);
}

bool uni_file::write_char(wchar_t ch) { return encode_char(ch); }

bool uni_file::write_byte(uint8_t byte) {
    const std::wstring wide = widen(reinterpret_cast<const char*>(&byte), std::size_t{1});
    return !wide.empty() && encode_char(wide[0]);
}

bool uni_file::read_char(wchar_t& ch) { return decode_char(ch); }

bool uni_file::read_byte(uint8_t& byte) {
    if (pending_next_ < pending_count_) {
        byte = pending_bytes_[pending_next_++];
        if (pending_next_ == pending_count_) pending_next_ = pending_count_ = 0;
        return true;
    }
    wchar_t ch;
    if (!decode_char(ch)) return false;
    const std::string bytes = narrow(&ch, std::size_t{1});
    if (bytes.empty()) return false;
    byte = static_cast<uint8_t>(bytes[0]);
    pending_next_ = pending_count_ = 0;
    for (size_t i = 1; i < bytes.size() && bytes[i] != '\0' && pending_count_ < sizeof(pending_bytes_); ++i)
        pending_bytes_[pending_count_++] = static_cast<uint8_t>(bytes[i]);
    return true;
}

bool uni_file::decode_char(wchar_t& ch) {
    if (has_pushback_) {
        ch = pushback_char_;
        has_pushback_ = false;
        return true;
    }
    if (pending_low_) {
        ch = pending_low_;
        pending_low_ = 0;
        return true;
    }
    uint8_t b[6];
    uint32_t code = 0;
    switch (enc_) {
    case utf16le:
    case utf16be:
        if (read(b, 2) != 2) return false;
        ch = enc_ == utf16le ? static_cast<wchar_t>(b[0] | (b[1] << 8)) : static_cast<wchar_t>((b[0] << 8) | b[1]);
        return true;
    case utf32le:
    case utf32be:
        if (read(b, 4) != 4) return false;
        if (enc_ == utf32le)
            code = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        else
            code = (static_cast<uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
        break;
    case utf8: {
        if (read(b, 1) != 1) return false;
        int follow;
        if (b[0] < 0x80) {
            ch = b[0];
            return true;
        } else if ((b[0] & 0xE0) == 0xC0) {
            follow = 1;
            code = b[0] & 0x1Fu;
        } else if ((b[0] & 0xF0) == 0xE0) {
            follow = 2;
            code = b[0] & 0x0Fu;
        } else if ((b[0] & 0xF8) == 0xF0) {
            follow = 3;
            code = b[0] & 0x07u;
        } else if ((b[0] & 0xFC) == 0xF8) {
            follow = 4;
            code = b[0] & 0x03u;
        } else if ((b[0] & 0xFE) == 0xFC) {
            follow = 5;
            code = b[0] & 0x01u;
        } else {
            ch = L'?';
            return true;
        }
        // A byte that is no continuation ends a broken sequence ('?') and is read again as the
        // start of the next character: a line end or a header after a stray lead byte survives.
        for (int i = 1; i <= follow; ++i) {
            if (read(b + i, 1) != 1) return false;
            if ((b[i] & 0xC0) != 0x80) {
                unread_byte();
                ch = L'?';
                return true;
            }
            code = (code << 6) | (b[i] & 0x3Fu);
        }
        if (follow <= 2) {
            ch = static_cast<wchar_t>(code);
            return true;
        }
        break;
    }
    default:
        return file_hnd::read_char(ch);
    }
    // A code point from UTF-32 or a long UTF-8 form.
    if (code > 0x10FFFF) {
        ch = L' ';
    } else if (code < 0x10000) {
        ch = static_cast<wchar_t>(code);
    } else {
        code -= 0x10000;
        ch = static_cast<wchar_t>(0xD800 + (code >> 10));
        pending_low_ = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    }
    return true;
}

bool uni_file::encode_char(wchar_t ch) {
    uint8_t b[6];
    int n = 0;
    const uint32_t unit = static_cast<uint16_t>(ch);
    switch (enc_) {
    case utf16le:
        b[0] = static_cast<uint8_t>(unit);
        b[1] = static_cast<uint8_t>(unit >> 8);
        n = 2;
        break;
    case utf16be:
        b[0] = static_cast<uint8_t>(unit >> 8);
        b[1] = static_cast<uint8_t>(unit);
        n = 2;
        break;
    case utf8:
    case utf32le:
    case utf32be: {
        if (is_high_surrogate(unit)) {
            pending_high_ = static_cast<wchar_t>(unit);
            return true;
        }
        uint32_t code = unit;
        // A held high surrogate joins a following low one; anything else drops it, so that a lone
        // high surrogate writes nothing instead of pairing with a much later low surrogate.
        if (pending_high_ && is_low_surrogate(unit))
            code = 0x10000 + (static_cast<uint32_t>(pending_high_) - 0xD800) * 0x400 + (unit - 0xDC00);
        pending_high_ = 0;
        if (enc_ == utf32le) {
            for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(code >> (8 * i));
            n = 4;
        } else if (enc_ == utf32be) {
            for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(code >> (8 * (3 - i)));
            n = 4;
        } else if (code < 0x80) {
            b[0] = static_cast<uint8_t>(code);
            n = 1;
        } else {
            static const uint8_t leads[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
            n = code < 0x800 ? 2 : code < 0x10000 ? 3 : code < 0x200000 ? 4 : code < 0x4000000 ? 5 : 6;
            for (int i = n - 1; i > 0; --i) {
                b[i] = static_cast<uint8_t>(0x80 | (code & 0x3F));
                code >>= 6;
            }
            b[0] = static_cast<uint8_t>(leads[n] | code);
        }
        break;
    }
    default:
        return file_hnd::write_char(ch);
    }
    bool ok = true;
    for (int i = 0; i < n; ++i)
        if (write(&b[i], 1) != 1) ok = false;
    return ok;
}

bool uni_file::detect_encoding(encoding default_encoding) {
    line_end_ = line_end_kind::none;
    enc_ = ansi;
    pending_high_ = 0;
    bom_size_ = 0;
    clear_read_back();
    seek(0, seek_begin);
    if (!is_open()) return false;

    uint8_t b[4];
    if (readable_ && read(b, 1) == 1) {
        switch (b[0]) {
        case 0xEF:
            if (read(b + 1, 2) == 2 && b[1] == 0xBB && b[2] == 0xBF) set_encoding(utf8);
            break;
        case 0xFE:
            if (read(b + 1, 1) == 1 && b[1] == 0xFF) set_encoding(utf16be);
            break;
        case 0xFF:
            if (read(b + 1, 1) == 1 && b[1] == 0xFE) {
                set_encoding(utf16le);
                if (read(b + 2, 2) == 2 && b[2] == 0 && b[3] == 0) set_encoding(utf32le);
            }
            break;
        case 0x00:
            if (read(b + 1, 3) == 3 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) set_encoding(utf32be);
            break;
        default:
            break;
        }
        seek(0, seek_begin);
        return true;
    }
    // Only an empty file gets a mark: a file open for writing alone cannot be read, and its
    // content must not be overwritten by a mark.
    if (writable_ && size() == 0) {
        if (valid_encoding(default_encoding)) set_encoding(default_encoding);
        write_bom();
    }
    return true;
}

bool uni_file::set_encoding(encoding enc, bool without_bom) {
    if (!valid_encoding(enc)) {
        bom_size_ = 0;
        return false;
    }
    enc_ = enc;
    bom_size_ = without_bom ? 0 : boms[enc].size;
    return true;
}

bool uni_file::write_bom() {
    flush();
    if (file_stream::seek(0, seek_begin) != 0) return false;
    bool ok = true;
    if (bom_size_ != 0) ok = write(boms[enc_].bytes, boms[enc_].size) == boms[enc_].size;
    return flush() && ok;
}

bool uni_file::copy_to(file_stream& dest, bool from_start) {
    if (from_start) {
        // Physical positions: the marks are copied as bytes.
        if (file_stream::seek(0, seek_begin) != 0) return false;
        if (dest.file_stream::seek(0, seek_begin) != 0) return false;
    }
    uint8_t block[copy_block];
    for (;;) {
        const int64_t got = read(block, copy_block);
        if (got < 0) return false;
        if (got == 0) break;
        if (dest.write(block, got) != got) return false;
    }
    if (from_start) {
        if (!dest.truncate()) return false;
        if (auto* text = dynamic_cast<uni_file*>(&dest)) text->detect_encoding(enc_);
    }
    return true;
}

std::wstring read_text_file(const std::wstring& path) {
    uni_file file(4096);
    std::wstring text;
    if (!file.open(path, o_rdonly | o_binary, sh_denywr)) return text;
    const int64_t size = file.size();
    if (size < 0 || size > max_text_file) return text;
    text.reserve(static_cast<size_t>(size));
    std::wstring line;
    while (file.read_line(line)) {
        text += line;
        text += L"\n\r";
    }
    // A text cut short by a failed read is no text.
    if (text.empty() || file.read_failed()) std::wstring().swap(text);
    file.close();
    return text;
}

}  // namespace cl
