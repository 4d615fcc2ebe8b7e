// cl::ini_file: the format as read (one table of files and their parse), reads against the
// platform's profile functions and against the uncached scan, edits, locked and missing files,
// and edits that fail at every system call they make.
#include "cl/ini/ini_file.h"

#include "../file/file_faults.h"

#include <functional>
#include <random>

namespace {

using strings = std::vector<std::wstring>;
using ts::read_file;
using ts::write_file;
using u = cl::uni_file;

struct ini_test : ts::folder_test {
    cl::ini_file& with(const std::string& bytes, bool utf8 = false) {
        write_file(path(L"t.ini"), bytes);
        ini.set_file(path(L"t.ini"), utf8);
        return ini;
    }
    std::string content() const { return read_file(path(L"t.ini")); }
    bool no_temporary_file() const {
        WIN32_FIND_DATAW found;
        const HANDLE find = ::FindFirstFileW(path(L"*.tmp").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
        return find == INVALID_HANDLE_VALUE;
    }
    cl::ini_file ini;
};

// Every header with the lines read_section gives for it (comments and other lines included),
// then the answers of get_string for the keys k and x of each name.
std::wstring parse_of(cl::ini_file& ini) {
    strings names, lines;
    std::wstring out, value;
    if (!ini.section_names(names)) return L"<none>";
    for (const std::wstring& name : names) {
        out += L"[" + name + L"]";
        ini.read_section(name, lines, cl::ini_file::with_comments | cl::ini_file::with_other_lines);
        for (const std::wstring& line : lines) out += L" " + line;
        for (const wchar_t* key : {L"k", L"x"})
            if (ini.get_string(name, key, value)) out += L" " + std::wstring(key) + L":" + value;
        out += L"|";
    }
    return out;
}

TEST_F(ini_test, files_and_their_parse) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"; c\r\nk=before any header\r\n[Watch]\r\n  Interval = 10 \r\n\tk = a\tb \r\nx=1=2\r\n", L"[Watch] Interval=10 k=a b x=1=2 k:a b x:1=2|"},
        {"[ a ] tail\r\nk=1\r\n[A]\r\nk=2\r\nx=3\r\n", L"[a] k=1 k:1 x:3|[A] k=1 k:1 x:3|"},
        {"[unclosed\nno pair\n=empty key\n ; note\n\n[]\n[  ]\nk=e\n", L"[unclosed] no pair =empty key ; note|[] k:e|[] k:e|"},
        {"[s]\rk=v ; not a comment\rx=C:\\a;b\r", L"[s] k=v ; not a comment x=C:\\a;b k:v ; not a comment x:C:\\a;b|"},
        {"[\xC4]\nk=1\n[\xE4]\nk=2\n", L"[\xC4] k=1 k:1|[\xE4] k=2 k:2|"},
        {std::string("[n]\nk=a\0b\n[\0]\n", 14), std::wstring(L"[n] k=a\0b k:a\0b|[\0]|", 20)},
        {"\xEF\xBB\xBF[a]\r\nk=\xC3\n[b]\r\nx=1", L"[a] k=? k:?|[b] x=1 x:1|"},
        {"\xEF\xBB\xBF[a]\nk=\xE2\x82\xAC\xF0\x9F\x98\x80\xC3(\nx=\xF0\x9F", L"[a] k=\x20AC\xD83D\xDE00?( x= k:\x20AC\xD83D\xDE00?( x:|"},
        {std::string("\xFF\xFE[\0a\0]\0\n\0k\0=\0v\0X", 17), L"[a] k=v k:v|"},
        {"\xEF\xBB\xBF", L""}, {"", L""}, {"[a]\nk=" + std::string(1 << 18, 'x') + "\n[b]", L"<long>"}};
    for (const auto& row : rows)
        for (int64_t limit : {4 << 20, 0}) {
            ini.set_file(path(L"f.ini"), false);
            ini.set_cache_limit(limit);
            write_file(path(L"f.ini"), row.first);
            const std::wstring parse = parse_of(ini);
            EXPECT_EQ(parse.size() > (1 << 18) ? L"<long>" : parse, row.second) << row.first.substr(0, 40) << " " << limit;
        }
}

// Where the platform's profile functions read the same format (plain names, no quotes, no
// repeated sections), get_string and section_names answer as they do.
TEST_F(ini_test, reads_agree_with_the_profile_functions) {
    std::mt19937 rng(7);
    for (int file = 0; file < 20; ++file) {
        std::string text;
        for (int s = 0, n = 1 + rng() % 6; s < n; ++s) {
            text += std::string(rng() % 2, ' ') + "[S" + std::to_string(s) + (rng() % 2 ? "x" : "") + "]\r\n";
            for (int k = 0, m = rng() % 5; k < m; ++k)
                text += std::string(rng() % 3, ' ') + "k" + std::to_string(k) + std::string(rng() % 2, ' ') + "=" +
                        std::string(rng() % 2, ' ') + "v" + std::to_string(rng() % 100) + (rng() % 2 ? " w\r\n" : "\r\n");
            if (rng() % 3 == 0) text += "; k0=comment\r\n";
        }
        const std::wstring name = path(L"p" + std::to_wstring(file) + L".ini");
        write_file(name, text);
        ini.set_file(name, false);
        wchar_t buf[4096];
        strings names, expected;
        for (const wchar_t* p = buf, *end = buf + ::GetPrivateProfileSectionNamesW(buf, 4096, name.c_str()); p < end && *p; p += wcslen(p) + 1)
            expected.push_back(p);
        EXPECT_TRUE(ini.section_names(names));
        EXPECT_EQ(names, expected) << text;
        for (const std::wstring& section : names)
            for (const wchar_t* key : {L"k0", L"K1", L"k2", L"k4"}) {
                std::wstring value = L"<none>";
                ini.get_string(L" " + section + L"\t", key, value);
                ::GetPrivateProfileStringW(section.c_str(), key, L"<none>", buf, 4096, name.c_str());
                EXPECT_EQ(value, buf) << text << ts::utf8(section + L"/" + key);
            }
    }
}

// Answers from the kept parse equal those of a scan of the file, across same-size edits made in
// place between the calls with the old time stamps put back (so only the bytes tell the change).
TEST_F(ini_test, cached_reads_follow_every_change_of_the_bytes) {
    const std::string parts[] = {"[a]", "[ A ]", "[b", "[]", "k=1", " k = 2 ", "x=", "=e", ";k=c", "junk", "\r\n", "\n", "\r",
                                 "\t", "\xC3", "\x80", "\xE9", "=", "[", "]", std::string(1, '\0'), "\xEF\xBB\xBF", "\xFF\xFE"};
    std::mt19937 rng(11);
    cl::ini_file scan;
    scan.set_cache_limit(0);
    for (int round = 0; round < 60; ++round) {
        std::string bytes = round % 3 ? "" : ft::mark(ft::all_encodings[rng() % 6]);
        for (int i = rng() % 40; i > 0; --i) bytes += parts[rng() % 23] + std::string(rng() % 4 ? "" : "\r\n");
        cl::ini_file& cached = with(bytes);
        scan.set_file(path(L"t.ini"), false);
        for (int edit = 0; edit < 3; ++edit) {
            ASSERT_EQ(parse_of(cached), parse_of(scan)) << round << " " << edit;
            strings a{L"old"}, b{L"old"};
            for (unsigned flags = 0; flags < 4; ++flags)
                EXPECT_EQ(cached.read_section(L"MISSING", a, flags) || cached.section_has_lines(L"a", flags),
                          scan.read_section(L"missing", b, flags) || scan.section_has_lines(L"a", flags));
            EXPECT_EQ(a, b);
            HANDLE h = ::CreateFileW(path(L"t.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            FILETIME times[3];
            ::GetFileTime(h, &times[0], &times[1], &times[2]);
            for (int i = 0; !bytes.empty() && i < 3; ++i) bytes[rng() % bytes.size()] = parts[rng() % 23][0];
            DWORD done = 0;
            ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
            ::SetFileTime(h, &times[0], &times[1], &times[2]);
            ::CloseHandle(h);
        }
    }
}

struct edit_row {
    std::string before;
    std::function<bool(cl::ini_file&)> edit;
    std::string after;  // empty: the edit answers false and the file stays as it was
};

TEST_F(ini_test, edits) {
    using f = cl::ini_file;
    const edit_row rows[] = {
        {"[a]\nx=1\nx=2\n", [](f& i) { return i.set_string(L"a", L"X", L"9"); }, "[a]\r\nX=9\r\nx=2\r\n"},
        {"top=0\n[a]\nx=1\n[b]\n[a]\n", [](f& i) { return i.set_string(L" A ", L"z", L"3"); }, "top=0\r\n[a]\r\nx=1\r\nz=3\r\n[b]\r\n[a]\r\n"},
        {"[a]\nx=1\n[A]\nx=2", [](f& i) { return i.set_string(L"a", L"x", L"9"); }, "[a]\r\nx=9\r\n[A]\r\nx=9\r\n"},
        {"[a]\n  ;x=1\n", [](f& i) { return i.set_string(L" New ", L"Key", L"v\r\n[evil]"); }, "[a]\r\n;x=1\r\n[ New ]\r\nKey=v  [evil]\r\n"},
        {"", [](f& i) { return i.set_string(L"s", L"k", L"v"); }, "[s]\r\nk=v\r\n"},
        {"[a]\nx=1\nx=2\n[a]\nx=3\n", [](f& i) { return i.delete_key(L"A", L"x"); }, "[a]\r\nx=2\r\n[a]\r\n"},
        {"  [a]\n\tx = 1\r  ; c\r\n\n  \ny=2", [](f& i) { return i.delete_key(L"a", L"no"); }, "[a]\r\nx = 1\r\n; c\r\n\r\n\r\ny=2\r\n"},
        {"t\n[a]\nx=1\n; c\n\n[b]\n[A]\nz=1\n", [](f& i) { return i.write_section(L"a", {L"n=1", L"two\nlines"}); }, "t\r\n[a]\r\nn=1\r\ntwo lines\r\n[b]\r\n[A]\r\n"},
        {"[b]\n", [](f& i) { return i.write_section(L"a", {}); }, "[b]\r\n[a]\r\n"},
        {"t=1\n[a]\nx=1\n[b]\n[ A ]\nz=1\n", [](f& i) { return i.delete_section(L"a"); }, "t=1\r\n[b]\r\n"},
        {"\xEF\xBB\xBF[a]\r\nk=\xC3\n[b]\r\nx=1", [](f& i) { return i.set_string(L"a", L"k2", L"v"); }, "\xEF\xBB\xBF\r\n[a]\r\nk=?\r\nk2=v\r\n[b]\r\nx=1\r\n"},
        {"\xEF\xBB\xBF\r\n[a]\n", [](f& i) { return i.set_string(L"a", L"x", L"1"); }, "\xEF\xBB\xBF\r\n[a]\r\nx=1\r\n"},
        {"\xEF\xBB\xBF  \t\n[a]\n[b]\n", [](f& i) { return i.delete_section(L"a"); }, "\xEF\xBB\xBF\r\n[b]\r\n"},
        {"[a]\n", [](f& i) { return i.set_string(L"a]b", L"k", L"v"); }, ""},
        {"[a]\n", [](f& i) { return i.set_string(L"a", L"k=1", L"v"); }, ""},
        {"[a]\n", [](f& i) { return i.set_string(L"a", L" [evil", L"v"); }, ""},
        {"[a]\n", [](f& i) { return i.set_string(L"a", L"\n;k", L"v"); }, ""},
        {"[a]\nk=1\n", [](f& i) { return i.delete_key(L"a", L"k=1"); }, ""},
        {"[a]\n", [](f& i) { return i.delete_section(L"a]"); }, ""},
        {"[a]\n", [](f& i) { return i.write_section(L"a", {L"k=1", L" [b]"}); }, ""},
        {"[a]\n", [](f& i) { return i.write_section(L"]", {}); }, ""}};
    for (const edit_row& r : rows) {
        EXPECT_EQ(r.edit(with(r.before)), !r.after.empty()) << r.before;
        EXPECT_EQ(content(), r.after.empty() ? r.before : r.after) << r.before;
        EXPECT_TRUE(no_temporary_file());
    }
}

// A series of edits in every encoding keeps the encoding and the file itself (the same file
// index: hard links, attributes and security stay); write_utf8 turns only unmarked files to UTF-8.
TEST_F(ini_test, edits_keep_the_encoding_and_the_file) {
    for (int kind = 0; kind < 8; ++kind) {
        const ft::enc e = kind < 6 ? ft::all_encodings[kind] : u::ansi, written = kind >= 6 ? u::utf8 : e;
        const std::wstring value = e || kind == 6 ? L"t\xE9st \xD83D\xDE00" : L"plain", start = written ? L"\r\n" : L"";
        cl::ini_file& ini = with(kind == 7 ? "" : ft::encode(L"[Main]\r\nname = old\r\n[Drop]\r\ngone=1\r\n[Keep]\r\nk=v", e), kind >= 6);
        BY_HANDLE_FILE_INFORMATION before = {}, after = {};
        HANDLE h = ::CreateFileW(path(L"t.ini").c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
        ::GetFileInformationByHandle(h, &before);
        ::CloseHandle(h);
        EXPECT_TRUE(ini.set_string(L"main", L"name", value) && ini.set_string(L"main", L"added", L"2") &&
                    ini.delete_section(L"drop") && ini.write_section(L"keep", {L"a=1", L"; c"}));
        const std::wstring text = start + (kind == 7 ? L"[main]\r\nname=" : L"[Main]\r\nname=") + value +
                                  (kind == 7 ? L"\r\nadded=2\r\n[keep]\r\na=1\r\n; c\r\n" : L"\r\nadded=2\r\n[Keep]\r\na=1\r\n; c\r\n");
        EXPECT_EQ(content(), ft::encode(text, written)) << kind;
        std::wstring read;
        EXPECT_TRUE(ini.get_string(L"MAIN", L"name", read) && read == value) << kind;
        h = ::CreateFileW(path(L"t.ini").c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
        ::GetFileInformationByHandle(h, &after);
        ::CloseHandle(h);
        EXPECT_EQ(after.nFileIndexLow, before.nFileIndexLow);
        EXPECT_TRUE(no_temporary_file());
    }
}

// Locked: every operation fails and logs error 32. Missing: silent; a missing folder is logged.
TEST_F(ini_test, locked_and_missing_files) {
    for (int kind = 0; kind < 3; ++kind) {
        cl::ini_file& ini = with("[a]\r\nk=v\r\n");
        if (kind) ini.set_file(path(kind == 1 ? L"none.ini" : L"none\\x.ini"), false);
        HANDLE lock = ::CreateFileW(path(L"t.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ts::capture& log = ts::capture::of(&cl::g_trace_err);
        log.clear();
        std::wstring value = L"old";
        strings lines{L"old"}, keys, values;
        EXPECT_FALSE(ini.get_string(L"a", L"k", value) || ini.get_string(L"a", L"k", value, 0) || ini.read_section(L"a", lines, 0) ||
                     ini.read_section(L"a", lines, 0, 0) || ini.section_names(lines) || ini.section_names(lines, 0) ||
                     ini.section_has_lines(L"a", 0) || ini.section_has_lines(L"a", 0, 0) || ini.section_exists(L"a") ||
                     ini.section_count() || ini.section_count(0));
        ini.read_section_pairs(L"a", keys, values);
        if (kind != 1) {
            EXPECT_FALSE(ini.set_string(L"a", L"k", L"w") || ini.delete_key(L"a", L"k") ||
                         ini.write_section(L"a", {L"x=1"}) || ini.delete_section(L"a"));
        }
        ::CloseHandle(lock);
        const std::string line = "file '" + ts::utf8(ini.file()) + "' open error " + (kind ? "3" : "32") + "\n";
        EXPECT_EQ(log.lines().size(), kind == 1 ? 0u : 16u) << kind;
        EXPECT_EQ(log.text().substr(0, line.size() - 1), kind == 1 ? "" : line.substr(0, line.size() - 1));
        EXPECT_TRUE(value == L"old" && lines == strings{L"old"} && keys.empty() && values.empty());
        EXPECT_EQ(content(), "[a]\r\nk=v\r\n");
        EXPECT_FALSE(ts::exists(path(L"none.ini")));
        EXPECT_TRUE(ini.reserved_1() && ini.reserved_2());
        ini.reserved_3();
    }
}

// Every system call an edit makes fails once in turn (and a full disk from every write on): the
// edit answers false with the file exactly as it was, or true with the whole change.
TEST_F(ini_test, failed_edits_leave_the_file_as_it_was) {
    const std::string before = "[a]\r\nx=1\r\n" + std::string(5000, ';') + "\r\n[b]\r\ny=2\r\n";
    const std::pair<cl::io_op, bool> faults[] = {{cl::io_op::write, false}, {cl::io_op::read, false},
                                                 {cl::io_op::truncate, false}, {cl::io_op::write, true}};
    for (const auto& kind : faults)
        for (bool grow : {true, false})
            for (int n = 1;; ++n) {
                cl::ini_file& ini = with(before);
                const std::string after = grow ? "[a]\r\nx=" + std::string(6000, 'v') + "\r\n" + before.substr(10) : "[b]\r\ny=2\r\n";
                bool done;
                {
                    ft::fault fault(kind.first, n, kind.second);
                    done = grow ? ini.set_string(L"a", L"x", std::wstring(6000, L'v')) : ini.delete_section(L"a");
                    if (!ft::fault::fired()) {
                        EXPECT_TRUE(done && content() == after) << n;
                        break;
                    }
                }
                EXPECT_EQ(content(), done ? after : before) << static_cast<int>(kind.first) << kind.second << grow << " " << n;
                EXPECT_TRUE(no_temporary_file());
                std::wstring y;
                EXPECT_TRUE(ini.get_string(L"b", L"y", y) && y == L"2");
            }
}

}  // namespace
