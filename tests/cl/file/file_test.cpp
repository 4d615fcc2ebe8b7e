// cl::file_hnd, cl::file_stream, temporary files and cl::uni_file: open flags, line ends, buffering,
// encodings, and failed system reads that must never read as the end of a file.
#include "cl/file/temp_file.h"
#include "file_faults.h"

#include <random>

namespace {

using ts::read_file;
using ts::write_file;
using ft::enc;
using k = cl::line_end_kind;
using u = cl::uni_file;
struct file_test : ts::folder_test {};

TEST_F(file_test, open_flags_dispositions_and_sharing) {
    struct row { unsigned flags, share; bool exists; DWORD error; const char* after; };
    const unsigned w = cl::o_wronly, c = cl::o_creat, t = cl::o_trunc, x = cl::o_excl, bad = 0xFFFFFFFF;
    const row rows[] = {{3, 0x40, true, bad, "old"}, {0, 0x50, true, bad, "old"}, {0, 0x210, true, bad, "old"},
                        {w | cl::o_temporary, 0x40, true, bad, "old"}, {w, 0x40, false, 2, "<missing>"}, {w | x, 0x40, true, 0, "old"},
                        {w | c, 0x40, false, 0, ""}, {w | c, 0x40, true, 0, "old"}, {w | t, 0x40, true, 0, ""},
                        {w | t, 0x40, false, 2, "<missing>"}, {w | c | t, 0x140, true, 0, ""}, {w | c | x, 0x40, true, 80, "old"},
                        {w | c | x | t, 0x40, false, 0, ""}};
    for (const row& r : rows) {
        ::DeleteFileW(path(L"d.txt").c_str());
        if (r.exists) write_file(path(L"d.txt"), "old");
        cl::file_hnd f;
        EXPECT_EQ(f.open(path(L"d.txt"), r.flags, r.share), r.error == 0) << r.flags << " " << r.share;
        EXPECT_TRUE(f.last_error() == r.error && f.file_not_found() == (r.error == 2)) << r.flags;
        f.close();
        EXPECT_EQ(read_file(path(L"d.txt")), r.after) << r.flags;
    }
    cl::file_hnd holder, reader, writer, child;
    DWORD info = 0;
    ASSERT_TRUE(holder.open(path(L"d.txt"), cl::o_rdonly, cl::sh_denywr) && reader.open(path(L"d.txt"), 0, cl::sh_denyno));
    EXPECT_TRUE(!writer.open(path(L"d.txt"), cl::o_wronly, cl::sh_denyno) && writer.last_error() == 32);
    ASSERT_TRUE(child.open(path(L"d.txt"), cl::o_rdonly | cl::o_noinherit, cl::sh_denyno));
    EXPECT_TRUE(::GetHandleInformation(child.handle(), &info) && !(info & HANDLE_FLAG_INHERIT));
    EXPECT_TRUE(::GetHandleInformation(reader.handle(), &info) && (info & HANDLE_FLAG_INHERIT));
    // Two append-only writers (the log of two copies of a program): neither overwrites the other.
    cl::file_hnd first, second;
    ASSERT_TRUE(first.open(path(L"a.txt"), cl::o_wronly | cl::o_creat | cl::o_append, cl::sh_denyno) &&
                second.open(path(L"a.txt"), cl::o_wronly | cl::o_append, cl::sh_denyno));
    EXPECT_TRUE(first.write("one ", 4) == 4 && second.write("two ", 4) == 4 && first.write("three", 5) == 5);
    first.close(), second.close();
    EXPECT_EQ(read_file(path(L"a.txt")), "one two three");
}
// One table of line ends through the raw handle, a two-byte buffer and every encoding.
TEST_F(file_test, line_ends_everywhere) {
    const std::pair<const char*, std::vector<std::pair<const char*, k>>> rows[] = {
        {"a\rb\nc\r\n", {{"a", k::cr}, {"b", k::lf}, {"c", k::crlf}}}, {"x\r", {{"x", k::cr}}},
        {"x\ry", {{"x", k::cr}, {"y", k::none}}}, {"\n\r\n\r", {{"", k::lf}, {"", k::crlf}, {"", k::cr}}}, {"", {}}};
    for (int kind = 0; kind < 8; ++kind)
        for (const auto& r : rows) {
            write_file(path(L"l.txt"), ft::encode(ts::utf16(r.first), kind < 2 ? u::ansi : ft::all_encodings[kind - 2]));
            std::unique_ptr<cl::file_hnd> f(kind == 0 ? new cl::file_hnd : kind == 1 ? new cl::file_stream(2) : new u);
            ASSERT_TRUE(f->open(path(L"l.txt"), cl::o_rdonly, cl::sh_denywr));
            std::string line;
            for (const auto& want : r.second)
                EXPECT_TRUE(f->read_line(line) && line == want.first && f->line_end() == want.second) << kind << " " << r.first;
            EXPECT_FALSE(f->read_line(line)) << kind << " " << r.first;
        }
}
TEST_F(file_test, stream_reads_writes_and_positions) {
    std::string content(10000, 'a'), got, buf(20000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    write_file(path(L"r.bin"), content);
    for (uint32_t size : {4096u, 16u, 0u})
        for (int64_t first : {1, 7, 4095, 4096, 4097, 20000}) {
            cl::file_stream f(size);
            ASSERT_TRUE(f.open(path(L"r.bin"), cl::o_rdonly, cl::sh_denywr));
            for (int64_t n = (got.clear(), 0); (n = f.read(&buf[0], got.empty() ? first : 3)) > 0;) got.append(buf, 0, n);
            EXPECT_EQ(got, content) << size << " " << first;
        }
    auto disk = [&] { return read_file(path(L"r.bin")).size(); };
    {
        cl::file_stream f(4096);
        ASSERT_TRUE(f.open(path(L"r.bin"), cl::o_rdwr, cl::sh_denywr));
        ASSERT_TRUE(f.read(&buf[0], 1) == 1 && f.read(&buf[0], 4095) == 4095);  // one byte of read-ahead is left
        EXPECT_TRUE(f.size() == 10000 && f.tell() == 4096);
        EXPECT_EQ(f.write("XY", 2), 2);
        EXPECT_TRUE(f.read(&buf[0], 2) == 2 && buf.substr(0, 2) == content.substr(4098, 2));  // after the pending bytes
        EXPECT_TRUE(f.seek(-20, cl::seek_begin) == -1 && f.seek(-4, cl::seek_end) == 9996 && f.truncate());
        EXPECT_TRUE(f.write(content.data(), 4096) == 4096 && disk() == 9996u + 4096);  // a full buffer's worth goes straight
        EXPECT_TRUE(f.write(content.data(), 4095) == 4095 && disk() == 9996u + 4096);  // less waits
        EXPECT_TRUE(f.write(content.data(), 4096) == 4096 && disk() == 9996u + 4096 + 4095 + 4096);
        EXPECT_EQ(f.write("z", 1), 1);  // written by the destructor
    }
    EXPECT_EQ(read_file(path(L"r.bin")), content.substr(0, 4096) + "XY" + content.substr(4098, 5898) + content.substr(0, 4096) +
                                             content.substr(0, 4095) + content.substr(0, 4096) + "z");
}
TEST_F(file_test, temporary_names_skip_taken_ones_and_vanish) {
    const std::wstring prefix = path(L"x"), first = cl::make_temp_name(prefix);
    const uint64_t n = std::stoull(first.substr(prefix.size(), first.size() - prefix.size() - 4), nullptr, 36);
    uint64_t x1 = n / 312500, x2 = n % 312500;
    auto next = [&] {  // the two generators behind the names
        x1 = (x1 * 4096 + 150889) % 714025, x2 = (x2 * 741 + 66037) % 312500;
        std::wstring digits;
        for (uint64_t v = x1 * 312500 + x2; v || digits.empty(); v /= 36) digits.insert(0, 1, L"0123456789abcdefghijklmnopqrstuvwxyz"[v % 36]);
        return prefix + digits + L".tmp";
    };
    const std::wstring taken = next(), free_name = next();
    write_file(taken, "1");
    std::wstring name;
    {
        u f;
        cl::file_hnd other;
        ASSERT_TRUE(cl::create_temp_file(f, prefix, cl::o_rdwr, &name));
        EXPECT_TRUE(name == free_name && f.get_encoding() == u::utf16le);  // through the derived open
        EXPECT_FALSE(other.open(name, 0, cl::sh_denyno) || cl::create_temp_file(other, path(L"none\\x"), 2, &name));
        EXPECT_EQ(other.last_error(), 3u);  // other errors end at once
    }
    EXPECT_FALSE(ts::exists(free_name));
}
// Marks and near misses; an empty file open for writing gets the default mark, no other is written.
TEST_F(file_test, byte_order_marks) {
    const std::string z(1, '\0');
    const std::pair<std::string, enc> rows[] = {{"\xEF\xBB\xBF" "A", u::utf8}, {"\xEF\xBB" "A", u::ansi}, {"\xFE\xFF" + z + "A", u::utf16be},
        {"\xFF\xFE" + z + "A", u::utf16le}, {"\xFF\xFE" + z + z + "A" + z + z + z, u::utf32le}, {z + z + "\xFE\xFF" + z + z + z + "A", u::utf32be},
        {z + z + "\xFE" "A", u::ansi}, {"", u::utf16le}};
    for (const auto& r : rows) {
        write_file(path(L"b.txt"), r.first);
        u f;
        ASSERT_TRUE(f.open(path(L"b.txt"), cl::o_rdwr, cl::sh_denywr));
        EXPECT_TRUE(f.get_encoding() == r.second && f.size() == std::max<int64_t>(0, r.first.size() - ft::mark(r.second).size()));
        ASSERT_TRUE(f.open(path(L"b.txt"), cl::o_wronly, cl::sh_denywr));  // nor does an open for writing only
        EXPECT_EQ(read_file(path(L"b.txt")), r.first.empty() ? "\xFF\xFE" : r.first);
    }
}
TEST_F(file_test, utf8_decoding_and_encoding) {
    const std::pair<std::string, std::wstring> decoded[] = {
        {"\xF0\x9F\x98\x80\xE2\x82\xAC\xC3\xA9", L"\xD83D\xDE00\x20AC\xE9"}, {"\xC3\x28" "A", L"?(A"}, {"\xE2\x82\n", L"?\n"},
        {"\x80\xFE" "A\xFF", L"??A?"}, {"\xED\xA0\xBD", L"\xD83D"}, {std::string("\xC0\x80", 2), std::wstring(1, L'\0')},
        {"\xF4\x90\x80\x80\xF8\x88\x80\x80\x80", L"  "}, {"A\xF0\x9F\x98", L"A"},
        {std::string(4095, 'x') + "\xC3" "\r", std::wstring(4095, L'x') + L"?\r"}};
    for (const auto& r : decoded) {
        write_file(path(L"u8.txt"), "\xEF\xBB\xBF" + r.first);
        u f;
        ASSERT_TRUE(f.open(path(L"u8.txt"), cl::o_rdonly, cl::sh_denywr));
        std::wstring got;
        for (wchar_t ch; f.decode_char(ch);) got += ch;
        EXPECT_EQ(got, r.second) << r.first;
    }
    const std::tuple<enc, std::wstring, std::string> encoded[] = {
        {u::utf8, L"\xD83D\xDE00\x7F\x80\x7FF\x800\xFFFF", "\xF0\x9F\x98\x80\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {u::utf8, L"\xD83D" L"a\xDE00\xD83D", "a\xED\xB8\x80"}, {u::utf16le, L"A\xD83D", std::string("A\0\x3D\xD8", 4)}};
    for (const auto& r : encoded) {
        u f;
        EXPECT_TRUE(f.open(path(L"e.txt"), cl::o_wronly | cl::o_creat | cl::o_trunc, std::get<0>(r), 0x20) && f.write_string(std::get<1>(r)));
        f.close();
        EXPECT_EQ(read_file(path(L"e.txt")), ft::mark(std::get<0>(r)) + std::get<2>(r));
    }
}
TEST_F(file_test, text_round_trip_positions_and_copies) {
    for (enc e : ft::all_encodings) {
        const std::wstring first = e != u::ansi ? L"h\xE9llo \xD83D\xDE00" : cl::widen(cl::narrow(L"h\xE9llo"));
        const int64_t unit = static_cast<int64_t>(ft::encode(L"!", e).size() - ft::mark(e).size());
        u f, copy;
        ASSERT_TRUE(f.open(path(L"t.txt"), cl::o_rdwr | cl::o_creat | cl::o_trunc, e, cl::sh_denywr));
        EXPECT_TRUE(f.write_string(first + L"\r\n") && f.write_string(std::string("n\r")) && f.write_char(L'z') && f.write_byte('!'));
        ASSERT_TRUE(f.open(path(L"t.txt"), cl::o_rdonly, cl::sh_denywr));
        std::wstring line;
        for (wchar_t ch; f.read_char(ch) && ch != L'\r';) line += ch;
        EXPECT_EQ(line, first) << e;
        uint8_t b = 0;
        EXPECT_TRUE(f.read_line(line) && f.read_byte(b) && b == 'n' && f.read_line(line) && f.read_line(line) && line == L"z!");
        EXPECT_EQ(f.seek(-2 * unit, cl::seek_end), f.size() - 2 * unit);
        EXPECT_TRUE(f.read_line(line) && line == L"z!") << e;
        write_file(path(L"c.txt"), std::string(100, 'q'));
        ASSERT_TRUE(copy.open(path(L"c.txt"), cl::o_rdwr, cl::sh_denywr));
        EXPECT_TRUE(f.copy_to(copy, true) && copy.get_encoding() == e && copy.tell() == 0);
        copy.close();
        EXPECT_EQ(read_file(path(L"c.txt")), read_file(path(L"t.txt")));
        EXPECT_EQ(cl::read_text_file(path(L"t.txt")), first + L"\n\rn\n\rz!\n\r");
    }
    cl::file_hnd huge;  // above 128 MiB, made by extending the file
    ASSERT_TRUE(huge.open(path(L"huge.txt"), cl::o_wronly | cl::o_creat, 0x40) && huge.seek(0x8000001, 0) > 0 && huge.truncate());
    huge.close();
    EXPECT_EQ(cl::read_text_file(path(L"huge.txt")) + cl::read_text_file(path(L"missing.txt")), L"");
}
// A failed system read is an error at every level, never the end of the file.
TEST_F(file_test, failed_reads_are_reported) {
    write_file(path(L"f.txt"), ft::encode(std::wstring(5000, L'x') + L"\r\nend\r\n", u::utf8));
    for (int reader = 0; reader < 4; ++reader) {
        u f;
        cl::file_stream out(4096);
        ASSERT_TRUE(f.open(path(L"f.txt"), 0, cl::sh_denywr) && out.open(path(L"o.txt"), cl::o_wronly | cl::o_creat, cl::sh_denywr));
        ft::fault fail(cl::io_op::read, 1);
        std::wstring line;
        char c;
        EXPECT_FALSE(reader == 0 ? f.read_line(line) && f.read_line(line) : reader == 1 ? f.copy_to(out, true)
                     : reader == 2 ? !cl::read_text_file(path(L"f.txt")).empty() : f.file_stream::read(&c, 1) != -1) << reader;
        EXPECT_TRUE(ft::fault::fired && f.read_failed() == (reader != 2) && (reader < 3 || f.read(&c, 1) == 1));
    }
}
// The buffer-scanning line readers against the character-by-character path that a derived class
// takes: random files in four encodings, read both ways.
TEST_F(file_test, fast_line_reader_matches_the_character_path) {
    struct slow_file : u {};
    for (enc e : {u::ansi, u::utf8, u::utf16le, u::utf16be})
        for (unsigned seed = 1; seed <= 12; ++seed) {
            std::mt19937 rng(seed * 7919 + e);
            std::wstring text;
            for (int i = 3000 + rng() % 12000; i > 0; --i) {
                const unsigned pick = rng() % 100;
                text += pick < 3 ? L"\r" : pick < 6 ? L"\n" : pick < 8 ? L"\r\n" : pick < 9 ? L"\n\r" : pick < 10 ? std::wstring(1, rng() % 14)
                        : pick < 12 && e != u::ansi ? L"\xD83D\xDE00" : pick < 13 ? L"\xE9" : std::wstring(1, 0x20 + rng() % 95);
            }
            std::string bytes = ft::encode(text, e);
            for (int i = 0; e == u::utf8 && i < 20; ++i) bytes.insert(3 + rng() % (bytes.size() - 3), 1, "\xC3\x80\xFF\xF0"[rng() % 4]);
            write_file(path(L"r.txt"), bytes + std::string(e >= u::utf16le ? rng() % 2 : 0, 'x'));
            std::vector<std::wstring> lines[2];
            std::unique_ptr<u> slow(new slow_file);
            u fast, *files[] = {&fast, slow.get()};
            for (int i = 0; i < 2; ++i) {
                ASSERT_TRUE(files[i]->open(path(L"r.txt"), cl::o_rdonly, u::ansi, cl::sh_denywr));
                for (std::wstring line; files[i]->read_line(line);)
                    lines[i].push_back(line + std::to_wstring(static_cast<int>(files[i]->line_end())));
                lines[i].push_back(std::to_wstring(files[i]->tell()));
            }
            ASSERT_EQ(lines[0], lines[1]) << e << " seed " << seed;
        }
}

}  // namespace
