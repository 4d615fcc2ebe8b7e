// cl::ini_file: the format as read (one table of files and their parse), cached reads against the
// scan of the file, edits, locked and missing files, and edits that fail at every system call.
#include "cl/ini/ini_file.h"

#include "../file/file_faults.h"

#include <functional>
#include <random>

namespace {

using strings = std::vector<std::wstring>;
using u = cl::uni_file;

struct ini_test : ts::folder_test {
    cl::ini_file& with(const std::string& bytes, bool utf8 = false) {
        ts::write_file(path(L"t.ini"), bytes);
        ini.set_file(path(L"t.ini"), utf8);
        return ini;
    }
    std::string content() const { return ts::read_file(path(L"t.ini")); }
    bool no_temporary_file() const {
        WIN32_FIND_DATAW found;
        const HANDLE find = ::FindFirstFileW(path(L"*.tmp").c_str(), &found);
        return find == INVALID_HANDLE_VALUE || (::FindClose(find), false);
    }
    DWORD file_index() const {  // the same file keeps its hard links, attributes and security
        BY_HANDLE_FILE_INFORMATION info = {};
        const HANDLE h = ::CreateFileW(path(L"t.ini").c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
        return ::GetFileInformationByHandle(h, &info) && ::CloseHandle(h) ? info.nFileIndexLow : 0;
    }
    cl::ini_file ini;
};

// Every header, the lines read_section gives for it (flags 3), and get_string's values of k and x.
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
            with(row.first).set_cache_limit(limit);
            const std::wstring parse = parse_of(ini);
            EXPECT_EQ(parse.size() > (1 << 18) ? L"<long>" : parse, row.second) << row.first.substr(0, 40) << " " << limit;
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
    for (int round = 0; round < 80; ++round) {
        std::string bytes = round % 3 ? "" : ft::mark(ft::all_encodings[rng() % 6]);
        for (int i = rng() % 40; i > 0; --i) bytes += parts[rng() % 23] + std::string(rng() % 4 ? "" : "\r\n");
        cl::ini_file& cached = with(bytes);
        scan.set_file(path(L"t.ini"), false);
        for (int edit = 0; edit < 3; ++edit) {
            ASSERT_EQ(parse_of(cached), parse_of(scan)) << round << " " << edit;
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
// An empty `after`: the edit answers false and the file stays as it was.
struct edit_row { std::string before; std::function<bool(cl::ini_file&)> edit; std::string after; };

// Edits, in every encoding; write_utf8 turns only a file without a mark into UTF-8.
TEST_F(ini_test, edits) {
    using f = cl::ini_file;
    std::vector<edit_row> rows = {
        {"[a]\nx=1\nx=2\n", [](f& i) { return i.set_string(L"a", L"X", L"9"); }, "[a]\r\nX=9\r\nx=2\r\n"},
        {"top=0\n[a]\nx=1\n[b]\n[a]\n[c]", [](f& i) { return i.set_string(L" A\r", L"z", L"3"); }, "top=0\r\n[a]\r\nx=1\r\nz=3\r\n[b]\r\n[a]\r\n[c]\r\n"},
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
        {"[a]\nk=1\n", [](f& i) { return i.set_string(L"a]b", L"k", L"v") || i.set_string(L"a", L"k=1", L"v") ||
                                         i.set_string(L"a", L" [evil", L"v") || i.set_string(L"a", L"\n;k", L"v"); }, ""},
        {"[a]\nk=1\n", [](f& i) { return i.delete_key(L"a", L"k=1") || i.delete_section(L"a]") || i.write_section(L"]", {}) ||
                                         i.write_section(L"a", {L"k=1", L" [b]"}); }, ""},
        {"[a]\r\nk=\xE9", [](f& i) { return i.set_file(i.file(), true), i.set_string(L"a", L"x", L"1"); },
         ft::encode(L"\r\n[a]\r\nk=" + cl::widen("\xE9") + L"\r\nx=1\r\n", u::utf8)},
        {"", [](f& i) { return i.set_file(i.file(), true), i.set_string(L"a", L"x", L"1"); }, "\xEF\xBB\xBF[a]\r\nx=1\r\n"}};
    for (ft::enc e : ft::all_encodings)
        rows.push_back({ft::encode(L"[M]\r\nn = old\r\n[D]\r\nk=v", e), [](f& i) { return i.set_string(L"m", L"n", L"t\xE9st \xD83D\xDE00") && i.delete_section(L"d"); },
                        ft::encode(std::wstring(e ? L"\r\n" : L"") + L"[M]\r\nn=" + (e ? L"t\xE9st \xD83D\xDE00" : cl::widen(cl::narrow(L"t\xE9st \xD83D\xDE00"))) + L"\r\n", e)});
    for (const edit_row& r : rows) {
        cl::ini_file& edited = with(r.before);
        const DWORD index = file_index();
        EXPECT_EQ(r.edit(edited), !r.after.empty()) << r.before;
        EXPECT_EQ(content(), r.after.empty() ? r.before : r.after) << r.before;
        EXPECT_TRUE(no_temporary_file() && file_index() == index);
    }
}
// Locked: every operation fails and logs error 32. Missing: silent. A missing folder is logged.
TEST_F(ini_test, locked_and_missing_files) {
    const std::pair<const wchar_t*, const char*> cases[] = {{L"t.ini", "32"}, {L"none.ini", nullptr}, {L"none\\x.ini", "3"}};
    for (const auto& c : cases) {
        with("[a]\r\nk=v\r\n").set_file(path(c.first), false);
        HANDLE lock = ::CreateFileW(path(L"t.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ts::capture::of(&cl::g_trace_err).clear();
        std::wstring value = L"old";
        strings lines{L"old"}, keys, values;
        EXPECT_FALSE(ini.get_string(L"a", L"k", value) || ini.get_string(L"a", L"k", value, 0) || ini.read_section(L"a", lines, 0) ||
                     ini.read_section(L"a", lines, 0, 0) || ini.section_names(lines) || ini.section_names(lines, 0) ||
                     ini.section_has_lines(L"a", 0) || ini.section_has_lines(L"a", 0, 0) || ini.section_exists(L"a") ||
                     ini.section_count() || ini.section_count(0));
        ini.read_section_pairs(L"a", keys, values);
        EXPECT_FALSE(c.second && (ini.set_string(L"a", L"k", L"w") || ini.delete_key(L"a", L"k") ||
                                  ini.write_section(L"a", {L"x=1"}) || ini.delete_section(L"a")));
        ::CloseHandle(lock);
        const std::string line = "file '" + ts::utf8(ini.file()) + "' open error " + (c.second ? c.second : "");
        EXPECT_EQ(ts::capture::of(&cl::g_trace_err).lines(), std::vector<std::string>(c.second ? 16 : 0, line));
        EXPECT_TRUE(value == L"old" && lines == strings{L"old"} && keys.empty() && values.empty() && !ts::exists(path(L"none.ini")));
        EXPECT_TRUE(content() == "[a]\r\nk=v\r\n" && ini.reserved_1() && ini.reserved_2());
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
                const DWORD index = file_index();
                std::unique_ptr<ft::fault> fault(new ft::fault(kind.first, n, kind.second));
                const bool done = grow ? ini.set_string(L"a", L"x", std::wstring(6000, L'v')) : ini.delete_section(L"a");
                fault.reset();
                EXPECT_EQ(content(), done ? after : before) << static_cast<int>(kind.first) << kind.second << grow << " " << n;
                EXPECT_TRUE(no_temporary_file() && file_index() == index);
                if (!ft::fault::fired) break;
            }
}

}  // namespace
