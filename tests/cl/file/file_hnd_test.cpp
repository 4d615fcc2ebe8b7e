#include "cl/file/file_hnd.h"
#include "cl/file/file_stream.h"

#include "file_test_util.h"

#include <memory>
#include <vector>

namespace {

using file_test::folder_test;
using file_test::read_file;
using file_test::write_file;
using cl::line_end_kind;

class file_hnd_test : public folder_test {};

TEST_F(file_hnd_test, invalid_flags_make_no_call) {
    const std::wstring name = path(L"f.txt");
    write_file(name, "data");
    struct row {
        unsigned flags;
        unsigned share;
    };
    const row rows[] = {
        {3, cl::sh_denyno},                                  // access 3
        {cl::o_rdonly, 0},                                   // share 0
        {cl::o_rdonly, 0x50},                                // unknown share
        {cl::o_rdonly, 0x10 | 0x200},                        // share with a stray bit
        {cl::o_rdwr | cl::o_temporary, cl::sh_denyno},       // delete on close without create
    };
    for (const row& r : rows) {
        cl::file_hnd f;
        EXPECT_FALSE(f.open(name, r.flags, r.share)) << r.flags << " " << r.share;
        EXPECT_EQ(f.last_error(), 0xFFFFFFFFu);
        EXPECT_FALSE(f.is_open());
        EXPECT_EQ(f.handle(), INVALID_HANDLE_VALUE);
        EXPECT_FALSE(f.file_not_found());
    }
    EXPECT_EQ(read_file(name), "data");
    cl::file_hnd ok;
    EXPECT_TRUE(ok.open(name, cl::o_rdonly, cl::sh_denyno | cl::sh_delete));
    EXPECT_EQ(ok.last_error(), 0u);
}

TEST_F(file_hnd_test, creation_dispositions) {
    struct row {
        unsigned flags;
        bool file_exists;
        bool opened;
        DWORD error;
        const char* content_after;  // nullptr: the file must not exist
    };
    const unsigned w = cl::o_wronly;
    const row rows[] = {
        {w, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {w, true, true, 0, "old"},
        {w | cl::o_excl, true, true, 0, "old"},
        {w | cl::o_excl, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {w | cl::o_creat, false, true, 0, ""},
        {w | cl::o_creat, true, true, 0, "old"},
        {w | cl::o_trunc, true, true, 0, ""},
        {w | cl::o_trunc, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {w | cl::o_trunc | cl::o_excl, true, true, 0, ""},
        {w | cl::o_creat | cl::o_trunc, true, true, 0, ""},
        {w | cl::o_creat | cl::o_trunc, false, true, 0, ""},
        {w | cl::o_creat | cl::o_excl, true, false, ERROR_FILE_EXISTS, "old"},
        {w | cl::o_creat | cl::o_excl, false, true, 0, ""},
        {w | cl::o_creat | cl::o_excl | cl::o_trunc, true, false, ERROR_FILE_EXISTS, "old"},
    };
    int i = 0;
    for (const row& r : rows) {
        const std::wstring name = path(L"d" + std::to_wstring(i++) + L".txt");
        if (r.file_exists) write_file(name, "old");
        {
            cl::file_hnd f;
            EXPECT_EQ(f.open(name, r.flags, cl::sh_denyno), r.opened) << "row " << i;
            EXPECT_EQ(f.last_error(), r.error) << "row " << i;
            EXPECT_EQ(f.file_not_found(), r.error == ERROR_FILE_NOT_FOUND) << "row " << i;
        }
        EXPECT_EQ(read_file(name), r.content_after ? r.content_after : "<missing>") << "row " << i;
    }
}

TEST_F(file_hnd_test, access_and_inheritance_follow_the_flags) {
    const std::wstring name = path(L"a.txt");
    write_file(name, "abc");
    char buf[4];
    cl::file_hnd r;
    ASSERT_TRUE(r.open(name, cl::o_rdonly, cl::sh_denyno));
    EXPECT_TRUE(r.readable());
    EXPECT_FALSE(r.writable());
    EXPECT_EQ(r.write("x", 1), -1);
    EXPECT_EQ(r.read(buf, 3), 3);
    DWORD info = 0;
    ASSERT_TRUE(::GetHandleInformation(r.handle(), &info));
    EXPECT_TRUE(info & HANDLE_FLAG_INHERIT);

    cl::file_hnd w;
    ASSERT_TRUE(w.open(name, cl::o_wronly | cl::o_noinherit, cl::sh_denyno));
    EXPECT_EQ(w.read(buf, 1), -1);
    EXPECT_EQ(w.write("x", 1), 1);
    ASSERT_TRUE(::GetHandleInformation(w.handle(), &info));
    EXPECT_FALSE(info & HANDLE_FLAG_INHERIT);

    w.close();
    EXPECT_FALSE(w.is_open());
    EXPECT_EQ(w.write("x", 1), -1);
    EXPECT_EQ(w.seek(0, cl::seek_begin), -1);
    EXPECT_EQ(w.tell(), -1);
    EXPECT_EQ(w.size(), -1);
    EXPECT_FALSE(w.truncate());
}

TEST_F(file_hnd_test, locked_file_gives_sharing_violation) {
    const std::wstring name = path(L"lock.txt");
    write_file(name, "abc");
    cl::file_hnd holder;
    ASSERT_TRUE(holder.open(name, cl::o_rdonly, cl::sh_denywr));
    cl::file_hnd reader, writer;
    EXPECT_TRUE(reader.open(name, cl::o_rdonly, cl::sh_denyno));
    EXPECT_FALSE(writer.open(name, cl::o_wronly, cl::sh_denyno));
    EXPECT_EQ(writer.last_error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    reader.close();
    holder.close();

    ASSERT_TRUE(holder.open(name, cl::o_rdonly, cl::sh_denyrw));
    EXPECT_FALSE(reader.open(name, cl::o_rdonly, cl::sh_denyno));
    EXPECT_EQ(reader.last_error(), 32u);
    EXPECT_FALSE(reader.file_not_found());
}

TEST_F(file_hnd_test, temporary_file_vanishes_on_close) {
    const std::wstring name = path(L"t.tmp");
    cl::file_hnd f;
    ASSERT_TRUE(f.open(name, cl::o_rdwr | cl::o_creat | cl::o_temporary, cl::sh_denyrw));
    EXPECT_EQ(f.write("abc", 3), 3);
    EXPECT_TRUE(file_test::exists(name));
    f.close();
    EXPECT_FALSE(file_test::exists(name));
}

// The line reader is shared by both classes; run the same table on each.
struct line { const char* text; line_end_kind end; };
struct line_case {
    const char* content;
    std::vector<line> lines;
};

std::vector<line_case> line_cases() {
    using k = line_end_kind;
    return {
        {"a\rb\nc\r\n", {{"a", k::cr}, {"b", k::lf}, {"c", k::crlf}}},
        {"x\r", {{"x", k::cr}}},                       // CR at end of file
        {"x\ry", {{"x", k::cr}, {"y", k::none}}},      // CR + other byte starts the next line
        {"last", {{"last", k::none}}},                 // final line without ending
        {"\n\r\n\r", {{"", k::lf}, {"", k::crlf}, {"", k::cr}}},
        {"", {}},
    };
}

template <class File>
void check_lines(const std::wstring& name) {
    for (const line_case& c : line_cases()) {
        write_file(name, c.content);
        std::unique_ptr<cl::file_hnd> f(new File());
        ASSERT_TRUE(f->open(name, cl::o_rdonly, cl::sh_denywr));
        std::string text;
        for (const line& l : c.lines) {
            EXPECT_TRUE(f->read_line(text)) << c.content;
            EXPECT_EQ(text, l.text);
            EXPECT_EQ(f->line_end(), l.end) << c.content;
        }
        EXPECT_FALSE(f->read_line(text)) << c.content;
        EXPECT_EQ(text, "");
        EXPECT_EQ(f->line_end(), line_end_kind::none);
    }
}

struct stream_4096 : cl::file_stream {
    stream_4096() : cl::file_stream(4096) {}
};
struct stream_2 : cl::file_stream {
    stream_2() : cl::file_stream(2) {}
};

TEST_F(file_hnd_test, line_ends_raw) { check_lines<cl::file_hnd>(path(L"l.txt")); }
TEST_F(file_hnd_test, line_ends_buffered) { check_lines<stream_4096>(path(L"l.txt")); }
TEST_F(file_hnd_test, line_ends_tiny_buffer) { check_lines<stream_2>(path(L"l.txt")); }

TEST_F(file_hnd_test, wide_line_and_ansi_characters) {
    const std::wstring name = path(L"c.txt");
    write_file(name, std::string("A\0B\xE9xy\r\n", 8));
    if (::IsDBCSLeadByte(0xE9)) GTEST_SKIP() << "needs a single-byte ANSI code page";
    const std::wstring e9 = file_test::widen_byte('\xE9');
    for (int buffered = 0; buffered < 2; ++buffered) {
        std::unique_ptr<cl::file_hnd> f(buffered ? static_cast<cl::file_hnd*>(new stream_4096()) : new cl::file_hnd());
        ASSERT_TRUE(f->open(name, cl::o_rdonly, cl::sh_denywr));
        wchar_t ch = L'-';
        const std::wstring expected = std::wstring(L"A") + L'\0' + L"B" + e9 + L"xy\r\n";
        for (wchar_t want : expected) {
            ASSERT_TRUE(f->read_char(ch));
            EXPECT_EQ(ch, want);
        }
        EXPECT_FALSE(f->read_char(ch));
        ASSERT_EQ(f->seek(3, cl::seek_begin), 3);
        std::wstring text;
        EXPECT_TRUE(f->read_line(text));
        EXPECT_EQ(text, e9 + L"xy");
        EXPECT_EQ(f->line_end(), line_end_kind::crlf);
    }
}

TEST_F(file_hnd_test, writers_write_every_byte) {
    const std::wstring name = path(L"w.txt");
    cl::file_hnd f;
    ASSERT_TRUE(f.open(name, cl::o_wronly | cl::o_creat, cl::sh_denywr));
    EXPECT_TRUE(f.write_string(std::wstring(L"ab")));
    EXPECT_TRUE(f.write_string(std::string("cd")));
    EXPECT_TRUE(f.write_string(std::string()));
    EXPECT_TRUE(f.write_char(L'e'));
    EXPECT_TRUE(f.write_byte(0));
    EXPECT_TRUE(f.write_byte('f'));
    f.close();
    EXPECT_EQ(read_file(name), std::string("abcde\0f", 7));
    cl::file_hnd r;
    ASSERT_TRUE(r.open(name, cl::o_rdonly, cl::sh_denywr));
    EXPECT_FALSE(r.write_string(std::string("x")));
    EXPECT_FALSE(r.write_char(L'x'));
    EXPECT_FALSE(r.write_byte('x'));
}

TEST_F(file_hnd_test, size_keeps_position_and_truncate_cuts) {
    const std::wstring name = path(L"s.txt");
    write_file(name, "0123456789");
    cl::file_hnd f;
    ASSERT_TRUE(f.open(name, cl::o_rdwr, cl::sh_denywr));
    EXPECT_EQ(f.seek(3, cl::seek_begin), 3);
    EXPECT_EQ(f.size(), 10);
    EXPECT_EQ(f.tell(), 3);
    EXPECT_EQ(f.seek(-2, cl::seek_end), 8);
    EXPECT_EQ(f.seek(-20, cl::seek_current), -1);
    EXPECT_EQ(f.seek(4, cl::seek_begin), 4);
    EXPECT_TRUE(f.truncate());
    EXPECT_EQ(f.size(), 4);
    f.close();
    EXPECT_EQ(read_file(name), "0123");
}

// Gives a test access to the owned handle, to make the system read fail on demand.
struct handle_swapper : cl::file_hnd {
    void swap_in(HANDLE h) { handle_.reset(h); }
};

TEST_F(file_hnd_test, read_counts_pushed_back_byte_when_system_read_fails) {
    const std::wstring name = path(L"p.txt");
    write_file(name, "a\rbcd");
    handle_swapper f;
    ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denyno));
    std::string text;
    ASSERT_TRUE(f.read_line(text));
    ASSERT_EQ(f.line_end(), line_end_kind::cr);
    // A handle without read access: the read after the pushed-back byte fails.
    HANDLE w = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    f.swap_in(w);
    char buf[8] = {};
    EXPECT_EQ(f.read(buf, 8), 1);
    EXPECT_EQ(buf[0], 'b');
    EXPECT_EQ(f.read(buf, 8), -1);
}

}  // namespace
