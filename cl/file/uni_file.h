// cl::uni_file: a buffered text file that knows its character encoding.
//
// Opening takes the encoding from the byte-order mark (ANSI, UTF-8, UTF-16 LE/BE, UTF-32 LE/BE);
// a file without a mark is text in the calling thread's ANSI code page. Characters and lines are
// read and written as UTF-16 code units and converted to and from the file's encoding byte by
// byte. Positions seen by callers (seek, tell, size) do not count the mark. A new or empty file
// opened for writing gets the mark of its default encoding at once; an existing file with content
// is never written by opening. Owns its handle and buffer like cl::file_stream; one thread at a
// time.
#pragma once

#include "cl/file/file_stream.h"

#include <cstdint>
#include <string>

namespace cl {

class uni_file : public file_stream {
public:
    enum encoding : int32_t { ansi = 0, utf8 = 1, utf16le = 2, utf16be = 3, utf32le = 4, utf32be = 5 };

    explicit uni_file(uint32_t buffer_size = 4096);

    // Virtual operations of cl::file_hnd that this class replaces, in slot order.

    // A line in the file's encoding without its ending (CR, LF or CR LF); true when a line end
    // was met or a character was read, false at end of file with nothing read and whenever a
    // system read has failed since the open.
    bool read_line(std::wstring& line) override;
    // The same, narrowed to the thread's ANSI code page.
    bool read_line(std::string& line) override;
    // Base open, then detect_encoding(utf16le). False only when the base open failed.
    bool open(const std::wstring& path, unsigned flags, unsigned share) override;
    // Positions without the mark; read-back state is dropped. -1 on failure.
    int64_t seek(int64_t offset, int origin) override;
    int64_t tell() override;
    // Each code unit through encode_char, stopping at the first failure; no line end is added.
    bool write_string(const std::wstring& text) override;
    // Widened from the thread's ANSI code page, then as the wide write_string.
    bool write_string(const std::string& text) override;
    // encode_char(ch).
    bool write_char(wchar_t ch) override;
    // The byte widened from the thread's ANSI code page, then encode_char.
    bool write_byte(uint8_t byte) override;
    // decode_char(ch).
    bool read_char(wchar_t& ch) override;
    // The next byte of the characters read, narrowed to the thread's ANSI code page.
    bool read_byte(uint8_t& byte) override;

    // New virtual operations.

    // One UTF-16 unit decoded from the file's encoding; false at end of file or on a failed read.
    // Undecodable UTF-8 gives '?' (a byte that cannot continue a sequence ends it and starts the
    // next character), code points above U+10FFFF a space.
    virtual bool decode_char(wchar_t& ch);
    // One UTF-16 unit encoded into the file's encoding; a high surrogate is held until its low
    // surrogate arrives (UTF-8 and UTF-32). False when a byte could not be written.
    virtual bool encode_char(wchar_t ch);

    // Base open, then detect_encoding(default_encoding). False only when the base open failed.
    bool open(const std::wstring& path, unsigned flags, encoding default_encoding, unsigned share);
    // Resets the reading state and takes the encoding from the mark, leaving the position just
    // behind it. An empty file open for writing takes `default_encoding` and gets its mark.
    bool detect_encoding(encoding default_encoding);
    // Sets the encoding and the mark size (0 when `without_bom`); writes nothing. A value outside
    // ansi..utf32be sets the mark size to 0, keeps the encoding and answers false.
    bool set_encoding(encoding enc, bool without_bom = false);
    // Writes the mark of the encoding at byte 0 (nothing for ansi or a zero mark size); true when
    // the whole mark was written.
    bool write_bom();
    // Copies the bytes of this file into `dest` until the end of this file. With `from_start`
    // both start at byte 0 (marks included), `dest` is cut behind the copy and, when it is a
    // uni_file, its encoding is detected again. False when a read or write fails (a failed read
    // is never taken for the end of the file).
    bool copy_to(file_stream& dest, bool from_start);

    encoding get_encoding() const noexcept { return enc_; }
    // Bytes of the mark at the start of the file.
    int32_t bom_size() const noexcept { return bom_size_; }

private:
    void clear_read_back() noexcept;
    // file_hnd::read_line's byte line, scanned in the buffer instead of byte by byte.
    bool read_byte_line(std::string& line);
    // After a CR: takes the next byte; an LF completes the line end, anything else waits as the
    // pushed-back byte.
    void finish_cr();
    // Whether the buffer-scanning readers may stand in for read() and decode_char(): only for
    // this very class, since a derived class may replace either.
    bool scans_buffer() const;

    std::string line_bytes_;    // a line's bytes before widening, kept to reuse its storage

    wchar_t pending_low_ = 0;   // low surrogate still to be returned by decode_char
    wchar_t pending_high_ = 0;  // high surrogate held by encode_char until its low surrogate
    int32_t bom_size_ = 0;
    uint8_t pending_bytes_[8] = {};  // bytes of a narrowed character still to be returned by read_byte
    uint8_t pending_count_ = 0;
    uint8_t pending_next_ = 0;
    wchar_t pushback_char_ = 0;  // character read ahead after a CR that was not LF
    bool has_pushback_ = false;
    encoding enc_ = ansi;
};

// The whole text of a file: every line followed by LF and CR. Empty when the file cannot be
// opened or read, is larger than 128 MiB, or holds no line.
std::wstring read_text_file(const std::wstring& path);

}  // namespace cl
