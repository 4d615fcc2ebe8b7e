#include "cl/file/uni_file.h"

#include "file_test_util.h"

#include <vector>

namespace {

using file_test::folder_test;
using file_test::read_file;
using file_test::write_file;
using cl::line_end_kind;
using enc = cl::uni_file::encoding;

class uni_file_test : public folder_test {};

const char* const marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xFF\xFE\0\0", "\0\0\xFE\xFF"};
const size_t mark_sizes[] = {0, 3, 2, 2, 4, 4};
const enc all_encodings[] = {cl::uni_file::ansi, cl::uni_file::utf8, cl::uni_file::utf16le,
                             cl::uni_file::utf16be, cl::uni_file::utf32le, cl::uni_file::utf32be};

std::string mark(enc e) { return std::string(marks[e], mark_sizes[e]); }

// ASCII text in an encoding, with its mark.
std::string ascii_in(enc e, const std::string& text) {
    std::string out = mark(e);
    for (char c : text) {
        switch (e) {
        case cl::uni_file::utf16le: out += c; out += '\0'; break;
        case cl::uni_file::utf16be: out += '\0'; out += c; break;
        case cl::uni_file::utf32le: out += c; out.append(3, '\0'); break;
        case cl::uni_file::utf32be: out.append(3, '\0'); out += c; break;
        default: out += c; break;
        }
    }
    return out;
}

// Every code unit decode_char yields until it fails.
std::wstring decode_all(cl::uni_file& f) {
    std::wstring out;
    wchar_t ch;
    while (out.size() < 100 && f.decode_char(ch)) out += ch;
    return out;
}

TEST_F(uni_file_test, byte_order_marks_and_near_misses) {
    struct row {
        std::string bytes;
        enc expected;
        int bom;
        std::wstring chars;  // what decode_char yields after detection
    };
    const std::string nul(1, '\0');
    const row rows[] = {
        {"\xEF\xBB\xBF" "A", cl::uni_file::utf8, 3, L"A"},
        {"\xEF\xBB" "A", cl::uni_file::ansi, 0, L""},       // checked byte-wise below
        {"\xFE\xFF" + nul + "A", cl::uni_file::utf16be, 2, L"A"},
        {"\xFF\xFE" "A" + nul, cl::uni_file::utf16le, 2, L"A"},
        {"\xFF\xFE" + nul + "A", cl::uni_file::utf16le, 2, L"\x4100"},
        {"\xFF\xFE" + nul + nul + "A" + nul + nul + nul, cl::uni_file::utf32le, 4, L"A"},
        {nul + nul + "\xFE\xFF" + nul + nul + nul + "A", cl::uni_file::utf32be, 4, L"A"},
        {"\xFF\xFE", cl::uni_file::utf16le, 2, L""},
        {nul + nul + "\xFE" "A", cl::uni_file::ansi, 0, L""},
        {"\xFE" "A", cl::uni_file::ansi, 0, L""},
        {"\xFF" "A", cl::uni_file::ansi, 0, L""},
        {"AB", cl::uni_file::ansi, 0, L"AB"},
        {"", cl::uni_file::ansi, 0, L""},
    };
    int i = 0;
    for (const row& r : rows) {
        const std::wstring name = path(L"b" + std::to_wstring(i++) + L".txt");
        write_file(name, r.bytes);
        cl::uni_file f;
        ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
        EXPECT_EQ(f.get_encoding(), r.expected) << "row " << i;
        EXPECT_EQ(f.bom_size(), r.bom) << "row " << i;
        EXPECT_EQ(f.tell(), 0) << "row " << i;
        EXPECT_EQ(f.size(), static_cast<int64_t>(r.bytes.size()) - r.bom) << "row " << i;
        if (r.expected == cl::uni_file::ansi && !r.bytes.empty()) {
            // Without a mark the file is read from its first byte.
            char first = 0;
            EXPECT_EQ(f.read(&first, 1), 1);
            EXPECT_EQ(first, r.bytes[0]) << "row " << i;
        } else {
            EXPECT_EQ(decode_all(f), r.chars) << "row " << i;
        }
        f.close();
        EXPECT_EQ(read_file(name), r.bytes) << "row " << i;  // reading never writes
    }
}

TEST_F(uni_file_test, new_or_empty_writable_file_gets_its_mark_at_once) {
    for (enc e : all_encodings) {
        const std::wstring name = path(L"n" + std::to_wstring(e) + L".txt");
        cl::uni_file f;
        ASSERT_TRUE(f.open(name, cl::o_rdwr | cl::o_creat, e, cl::sh_denywr));
        EXPECT_EQ(f.get_encoding(), e);
        EXPECT_EQ(read_file(name), mark(e)) << e;
        EXPECT_EQ(f.tell(), 0);
        EXPECT_EQ(f.size(), 0);
    }
    // The virtual open defaults to UTF-16 LE; an existing empty file opened for writing alone too.
    const std::wstring empty = path(L"empty.txt");
    write_file(empty, "");
    cl::uni_file f;
    ASSERT_TRUE(f.open(empty, cl::o_wronly, cl::sh_denywr));
    EXPECT_EQ(read_file(empty), "\xFF\xFE");
    // An unknown default leaves ANSI without a mark.
    ASSERT_TRUE(f.open(path(L"odd.txt"), cl::o_rdwr | cl::o_creat, static_cast<enc>(9), cl::sh_denywr));
    EXPECT_EQ(f.get_encoding(), cl::uni_file::ansi);
    EXPECT_EQ(read_file(path(L"odd.txt")), "");
}

TEST_F(uni_file_test, existing_file_with_content_is_never_written_by_open) {
    const std::wstring name = path(L"e.txt");
    for (unsigned access : {cl::o_rdwr, cl::o_wronly}) {
        write_file(name, "text");
        cl::uni_file f;
        ASSERT_TRUE(f.open(name, access | cl::o_creat, cl::uni_file::utf8, cl::sh_denywr));
        EXPECT_EQ(f.get_encoding(), cl::uni_file::ansi);
        f.close();
        EXPECT_EQ(read_file(name), "text") << access;
    }
}

TEST_F(uni_file_test, line_ends_in_every_encoding) {
    struct row {
        const char* text;
        std::vector<std::pair<const wchar_t*, line_end_kind>> lines;
    };
    using k = line_end_kind;
    const row rows[] = {
        {"a\rb\nc\r\n", {{L"a", k::cr}, {L"b", k::lf}, {L"c", k::crlf}}},
        {"x\r", {{L"x", k::cr}}},
        {"x\ry", {{L"x", k::cr}, {L"y", k::none}}},
        {"\r\r\n\n", {{L"", k::cr}, {L"", k::crlf}, {L"", k::lf}}},
        {"last", {{L"last", k::none}}},
    };
    const std::wstring name = path(L"l.txt");
    for (enc e : all_encodings) {
        for (const row& r : rows) {
            write_file(name, ascii_in(e, r.text));
            cl::uni_file f;
            ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
            ASSERT_EQ(f.get_encoding(), e);
            for (const auto& l : r.lines) {
                std::wstring wide;
                EXPECT_TRUE(f.read_line(wide)) << e << " " << r.text;
                EXPECT_EQ(wide, l.first) << e;
                EXPECT_EQ(f.line_end(), l.second) << e << " " << r.text;
            }
            std::string narrow_line;
            EXPECT_FALSE(f.read_line(narrow_line)) << e << " " << r.text;
            EXPECT_EQ(f.line_end(), k::none);
            // The narrow reader sees the same lines.
            ASSERT_EQ(f.seek(0, cl::seek_begin), 0);
            for (const auto& l : r.lines) {
                EXPECT_TRUE(f.read_line(narrow_line));
                EXPECT_EQ(std::wstring(narrow_line.begin(), narrow_line.end()), l.first);
            }
        }
    }
}

TEST_F(uni_file_test, utf8_decoding) {
    struct row {
        std::string bytes;
        std::wstring chars;
    };
    const row rows[] = {
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"\xC3\x28", L"?"},             // both bytes consumed
        {"\xC3\x28" "A", L"?A"},
        {"\x80" "A", L"?A"},            // stray continuation byte: one byte
        {"\xFE" "A\xFF", L"?A?"},
        {"\xE2\x82\xAC", L"\x20AC"},
        {"\xC3\xA9", L"\xE9"},
        {"\xED\xA0\xBD", L"\xD83D"},    // three-byte form passes through
        {std::string("\xC0\x80", 2), std::wstring(1, L'\0')},  // overlong forms are accepted
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        {"\xF4\x90\x80\x80", L" "},     // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", L" "},
        {"A\xC3", L"A"},                // end of file inside a sequence
        {"A\xF0\x9F\x98", L"A"},
    };
    const std::wstring name = path(L"u8.txt");
    for (const row& r : rows) {
        write_file(name, mark(cl::uni_file::utf8) + r.bytes);
        cl::uni_file f;
        ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
        EXPECT_EQ(decode_all(f), r.chars) << r.bytes;
    }
}

TEST_F(uni_file_test, encoding_bytes) {
    struct row {
        enc e;
        std::wstring chars;
        std::string bytes;  // after the mark
    };
    const std::string nul(1, '\0');
    const row rows[] = {
        {cl::uni_file::utf8, L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {cl::uni_file::utf8, L"\xD83D", ""},              // a lone high surrogate writes nothing
        {cl::uni_file::utf8, L"\xD83D" L"a\xDE00", "a\xED\xB8\x80"},
        {cl::uni_file::utf8, L"a\xE9\x20AC", "a\xC3\xA9\xE2\x82\xAC"},
        {cl::uni_file::utf16le, L"A\xD83D", "A" + nul + "\x3D\xD8"},
        {cl::uni_file::utf16be, L"A\x20AC", nul + "A\x20\xAC"},
        {cl::uni_file::utf32le, L"\xD83D\xDE00", std::string("\x00\xF6\x01\x00", 4)},
        {cl::uni_file::utf32be, L"A", nul + nul + nul + "A"},
    };
    const std::wstring name = path(L"enc.txt");
    for (const row& r : rows) {
        {
            cl::uni_file f;
            ASSERT_TRUE(f.open(name, cl::o_wronly | cl::o_creat | cl::o_trunc, r.e, cl::sh_denywr));
            EXPECT_TRUE(f.write_string(r.chars));
        }
        EXPECT_EQ(read_file(name), mark(r.e) + r.bytes) << r.e;
    }
}

TEST_F(uni_file_test, round_trip_in_every_encoding) {
    const std::wstring name = path(L"rt.txt");
    for (enc e : all_encodings) {
        const bool unicode = e != cl::uni_file::ansi;
        const std::wstring first = unicode ? L"h\xE9llo \xD83D\xDE00 \x20AC" : L"hello";
        {
            cl::uni_file f;
            ASSERT_TRUE(f.open(name, cl::o_rdwr | cl::o_creat | cl::o_trunc, e, cl::sh_denywr));
            EXPECT_TRUE(f.write_string(first + L"\r\n"));
            EXPECT_TRUE(f.write_string(std::string("narrow\n")));
            EXPECT_TRUE(f.write_char(L'z'));
            EXPECT_TRUE(f.write_byte('!'));
        }
        cl::uni_file f;
        ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
        EXPECT_EQ(f.get_encoding(), e);
        std::wstring line;
        EXPECT_TRUE(f.read_line(line));
        EXPECT_EQ(line, first) << e;
        EXPECT_TRUE(f.read_line(line));
        EXPECT_EQ(line, L"narrow");
        uint8_t b = 0;
        EXPECT_TRUE(f.read_byte(b));
        EXPECT_EQ(b, 'z');
        wchar_t ch = 0;
        EXPECT_TRUE(f.read_char(ch));
        EXPECT_EQ(ch, L'!');
        EXPECT_FALSE(f.read_char(ch));
    }
}

TEST_F(uni_file_test, read_byte_narrows_whole_characters) {
    const std::wstring name = path(L"rb.txt");
    write_file(name, mark(cl::uni_file::utf16le) + std::string("\xE9\0A\0", 4));
    char expected[8] = {};
    const wchar_t e9 = 0xE9;
    const int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, &e9, 1, expected, sizeof(expected), nullptr, nullptr);
    ASSERT_GT(n, 0);
    cl::uni_file f;
    ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
    uint8_t b;
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(f.read_byte(b));
        EXPECT_EQ(b, static_cast<uint8_t>(expected[i]));
    }
    ASSERT_TRUE(f.read_byte(b));
    EXPECT_EQ(b, 'A');
    EXPECT_FALSE(f.read_byte(b));
}

TEST_F(uni_file_test, utf32_above_range_reads_as_space) {
    const std::wstring name = path(L"u32.txt");
    write_file(name, mark(cl::uni_file::utf32le) + std::string("\x00\x00\x11\x00\x00\xF6\x01\x00", 8));
    cl::uni_file f;
    ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
    EXPECT_EQ(decode_all(f), L" \xD83D\xDE00");
}

TEST_F(uni_file_test, positions_leave_out_the_mark) {
    const std::wstring name = path(L"p.txt");
    write_file(name, mark(cl::uni_file::utf8) + "abc\rdef");
    cl::uni_file f;
    ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
    EXPECT_EQ(f.tell(), 0);
    EXPECT_EQ(f.size(), 7);
    EXPECT_EQ(f.seek(1, cl::seek_begin), 1);
    wchar_t ch;
    ASSERT_TRUE(f.read_char(ch));
    EXPECT_EQ(ch, L'b');
    EXPECT_EQ(f.seek(0, cl::seek_end), 7);
    EXPECT_EQ(f.seek(-3, cl::seek_current), 4);
    std::wstring line;
    EXPECT_TRUE(f.read_line(line));
    EXPECT_EQ(line, L"def");
    // A seek drops the character read ahead after a CR.
    ASSERT_EQ(f.seek(0, cl::seek_begin), 0);
    EXPECT_TRUE(f.read_line(line));
    EXPECT_EQ(line, L"abc");
    ASSERT_EQ(f.seek(5, cl::seek_begin), 5);
    EXPECT_TRUE(f.read_line(line));
    EXPECT_EQ(line, L"ef");
}

TEST_F(uni_file_test, set_encoding_and_write_bom) {
    const std::wstring name = path(L"s.txt");
    cl::uni_file f;
    ASSERT_TRUE(f.open(name, cl::o_rdwr | cl::o_creat, cl::sh_denywr));
    ASSERT_EQ(read_file(name), "\xFF\xFE");
    EXPECT_FALSE(f.set_encoding(static_cast<enc>(6)));
    EXPECT_EQ(f.get_encoding(), cl::uni_file::utf16le);
    EXPECT_EQ(f.bom_size(), 0);
    EXPECT_TRUE(f.set_encoding(cl::uni_file::utf8, true));
    EXPECT_EQ(f.bom_size(), 0);
    EXPECT_TRUE(f.set_encoding(cl::uni_file::utf8));
    EXPECT_EQ(f.bom_size(), 3);
    EXPECT_TRUE(f.write_bom());
    EXPECT_TRUE(f.truncate());
    EXPECT_TRUE(f.write_string(L"x"));
    EXPECT_EQ(f.tell(), 1);
    f.close();
    EXPECT_EQ(read_file(name), "\xEF\xBB\xBFx");
    ASSERT_TRUE(f.open(name, cl::o_rdwr, cl::sh_denywr));
    EXPECT_TRUE(f.set_encoding(cl::uni_file::ansi));
    EXPECT_TRUE(f.write_bom());  // no mark to write: nothing changes
    f.close();
    EXPECT_EQ(read_file(name), "\xEF\xBB\xBFx");
}

TEST_F(uni_file_test, copy_to_takes_bytes_and_detects_the_destination) {
    const std::wstring src_name = path(L"src.txt");
    const std::wstring dst_name = path(L"dst.txt");
    const std::string src_bytes = ascii_in(cl::uni_file::utf16be, "one\r\ntwo\r\n");
    write_file(src_name, src_bytes);
    write_file(dst_name, std::string(100, 'z'));
    cl::uni_file src, dst;
    ASSERT_TRUE(src.open(src_name, cl::o_rdonly, cl::sh_denywr));
    ASSERT_TRUE(dst.open(dst_name, cl::o_rdwr, cl::sh_denywr));
    std::wstring line;
    ASSERT_TRUE(src.read_line(line));
    EXPECT_TRUE(src.copy_to(dst, true));
    EXPECT_EQ(dst.get_encoding(), cl::uni_file::utf16be);
    EXPECT_EQ(dst.tell(), 0);
    EXPECT_TRUE(dst.read_line(line));
    EXPECT_EQ(line, L"one");
    dst.close();
    EXPECT_EQ(read_file(dst_name), src_bytes);

    // Without from_start: from the current position, into a plain stream.
    cl::file_stream plain(4096);
    ASSERT_TRUE(plain.open(path(L"rest.bin"), cl::o_wronly | cl::o_creat, cl::sh_denywr));
    ASSERT_EQ(src.seek(0, cl::seek_begin), 0);
    ASSERT_TRUE(src.read_line(line));
    EXPECT_TRUE(src.copy_to(plain, false));
    plain.close();
    EXPECT_EQ(read_file(path(L"rest.bin")), src_bytes.substr(2 + 10));

    // A source that cannot be read fails.
    cl::uni_file wo;
    ASSERT_TRUE(wo.open(path(L"wo.txt"), cl::o_wronly | cl::o_creat, cl::sh_denywr));
    ASSERT_TRUE(plain.open(path(L"rest.bin"), cl::o_wronly, cl::sh_denywr));
    EXPECT_FALSE(wo.copy_to(plain, false));
}

class read_text_file_test : public folder_test {};

TEST_F(read_text_file_test, lines_end_in_lf_cr) {
    struct row {
        std::string bytes;
        std::wstring text;
    };
    const row rows[] = {
        {"x\r\ny", L"x\n\ry\n\r"},
        {"x\ny\n", L"x\n\ry\n\r"},
        {ascii_in(cl::uni_file::utf16le, "x\ry"), L"x\n\ry\n\r"},
        {"\xEF\xBB\xBF" "\xC3\xA9\r\n\r\n", L"\xE9\n\r\n\r"},
        {"", L""},
        {"\xEF\xBB\xBF", L""},
    };
    const std::wstring name = path(L"t.txt");
    for (const row& r : rows) {
        write_file(name, r.bytes);
        EXPECT_EQ(cl::read_text_file(name), r.text) << r.bytes;
    }
}

TEST_F(read_text_file_test, failures_give_an_empty_string) {
    EXPECT_EQ(cl::read_text_file(path(L"missing.txt")), L"");
    EXPECT_EQ(cl::read_text_file(path(L"no\\such\\folder.txt")), L"");

    const std::wstring locked = path(L"locked.txt");
    write_file(locked, "x\r\n");
    {
        cl::file_hnd holder;
        ASSERT_TRUE(holder.open(locked, cl::o_rdonly, cl::sh_denyrw));
        EXPECT_EQ(cl::read_text_file(locked), L"");
    }
    // Others may read while it is read.
    {
        cl::file_hnd holder;
        ASSERT_TRUE(holder.open(locked, cl::o_rdonly, cl::sh_denyno));
        EXPECT_EQ(cl::read_text_file(locked), L"x\n\r");
    }

    // Above 128 MiB: refused without reading (the file is extended, not written).
    const std::wstring huge = path(L"huge.txt");
    HANDLE h = ::CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 0x8000001;
    EXPECT_TRUE(::SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    EXPECT_TRUE(::SetEndOfFile(h));
    ::CloseHandle(h);
    EXPECT_EQ(cl::read_text_file(huge), L"");
}

}  // namespace
