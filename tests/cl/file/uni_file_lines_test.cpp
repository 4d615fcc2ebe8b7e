// Lines read by cl::uni_file through its buffer-scanning readers must be exactly those of the
// character-by-character path (which a derived class always takes): the same texts, the same line
// ends, the same positions afterwards, whatever falls on the 4,096-byte refill boundaries.
#include "cl/file/uni_file.h"

#include "file_test_util.h"

#include <random>
#include <string>
#include <vector>

namespace {

using file_test::folder_test;
using file_test::write_file;
using enc = cl::uni_file::encoding;

// A derived class: read_line goes through read() and decode_char() one character at a time.
class char_by_char_file : public cl::uni_file {
public:
    char_by_char_file() : cl::uni_file(4096) {}
};

struct read_result {
    std::vector<std::wstring> lines;
    std::vector<cl::line_end_kind> ends;
    std::vector<std::string> narrow_lines;
    int64_t end_position = 0;
};

read_result read_all(cl::uni_file& file, const std::wstring& path, bool narrow) {
    read_result r;
    EXPECT_TRUE(file.open(path, cl::o_rdonly | cl::o_binary, cl::uni_file::ansi, cl::sh_denywr));
    if (narrow) {
        std::string line;
        while (file.read_line(line)) {
            r.narrow_lines.push_back(line);
            r.ends.push_back(file.line_end());
        }
    } else {
        std::wstring line;
        while (file.read_line(line)) {
            r.lines.push_back(line);
            r.ends.push_back(file.line_end());
        }
    }
    r.end_position = file.tell();
    return r;
}

std::string mark(enc e) {
    switch (e) {
    case cl::uni_file::utf8: return "\xEF\xBB\xBF";
    case cl::uni_file::utf16le: return "\xFF\xFE";
    case cl::uni_file::utf16be: return "\xFE\xFF";
    default: return "";
    }
}

// Random text of plain characters, line ends of every kind (CR, LF, CR LF, LF CR, CR CR), non-ASCII
// characters and stray bytes, with lines long and short so that every kind lands on a refill
// boundary somewhere.
std::string random_file(enc e, std::mt19937& rng) {
    std::string out = mark(e);
    const int units = 3000 + static_cast<int>(rng() % 12000);
    auto put = [&](unsigned unit) {
        switch (e) {
        case cl::uni_file::utf16le: out += static_cast<char>(unit & 0xFF); out += static_cast<char>(unit >> 8); break;
        case cl::uni_file::utf16be: out += static_cast<char>(unit >> 8); out += static_cast<char>(unit & 0xFF); break;
        default: out += static_cast<char>(unit); break;
        }
    };
    for (int i = 0; i < units; ++i) {
        const unsigned pick = rng() % 100;
        if (pick < 3) put('\r');
        else if (pick < 6) put('\n');
        else if (pick < 8) { put('\r'); put('\n'); }
        else if (pick < 9) { put('\n'); put('\r'); }
        else if (pick < 10) put(rng() % 14);           // control characters, NUL included
        else if (pick < 12 && e == cl::uni_file::utf8) {
            const char* const seqs[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC3", "\x80", "\xFF"};
            out += seqs[rng() % 6];
        } else if (pick < 12 && e != cl::uni_file::ansi) put(0xD83D), put(0xDE00);
        else if (pick < 12) put(0x41 + rng() % 26);
        else if (pick < 13) put(e == cl::uni_file::ansi || e == cl::uni_file::utf8 ? 0xE9 : 0x20AC);
        else put(0x20 + rng() % 95);
    }
    if (rng() % 2 && e != cl::uni_file::ansi && e != cl::uni_file::utf8) out += 'x';  // an odd last byte
    return out;
}

class uni_file_lines_test : public folder_test {};

TEST_F(uni_file_lines_test, buffer_scanning_reads_what_the_character_path_reads) {
    const enc encodings[] = {cl::uni_file::ansi, cl::uni_file::utf8, cl::uni_file::utf16le, cl::uni_file::utf16be};
    for (enc e : encodings) {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            std::mt19937 rng(seed * 7919 + static_cast<unsigned>(e));
            const std::wstring file_path = path(L"lines.txt");
            write_file(file_path, random_file(e, rng));
            for (bool narrow : {false, true}) {
                cl::uni_file fast(4096);
                char_by_char_file slow;
                const read_result a = read_all(fast, file_path, narrow);
                const read_result b = read_all(slow, file_path, narrow);
                SCOPED_TRACE("encoding " + std::to_string(e) + ", seed " + std::to_string(seed) +
                             (narrow ? ", narrow" : ", wide"));
                ASSERT_EQ(a.lines.size(), b.lines.size());
                for (std::size_t i = 0; i < a.lines.size(); ++i) ASSERT_EQ(a.lines[i], b.lines[i]) << "line " << i;
                EXPECT_EQ(a.narrow_lines, b.narrow_lines);
                EXPECT_EQ(a.ends, b.ends);
                EXPECT_EQ(a.end_position, b.end_position);
            }
        }
    }
}

TEST_F(uni_file_lines_test, line_ends_on_the_refill_boundary) {
    // A CR as the last byte of the first 4,096 and its LF as the first of the next, a CR followed
    // by a plain byte across the boundary, and a position taken in the middle.
    for (int shift = -3; shift <= 3; ++shift) {
        std::string text(static_cast<std::size_t>(4095 + shift), 'a');
        text += "\r\nb\rc\nd";
        const std::wstring file_path = path(L"edge.txt");
        write_file(file_path, text);
        cl::uni_file fast(4096);
        ASSERT_TRUE(fast.open(file_path, cl::o_rdonly | cl::o_binary, cl::uni_file::ansi, cl::sh_denywr));
        std::wstring line;
        ASSERT_TRUE(fast.read_line(line));
        EXPECT_EQ(line.size(), static_cast<std::size_t>(4095 + shift));
        EXPECT_EQ(fast.line_end(), cl::line_end_kind::crlf);
        ASSERT_TRUE(fast.read_line(line));
        EXPECT_EQ(line, L"b");
        EXPECT_EQ(fast.line_end(), cl::line_end_kind::cr);
        // The byte read after the CR is held back: the position is behind it, as before.
        char_by_char_file slow;
        ASSERT_TRUE(slow.open(file_path, cl::o_rdonly | cl::o_binary, cl::uni_file::ansi, cl::sh_denywr));
        std::wstring other;
        slow.read_line(other);
        slow.read_line(other);
        EXPECT_EQ(fast.tell(), slow.tell());
    }
}

}  // namespace
