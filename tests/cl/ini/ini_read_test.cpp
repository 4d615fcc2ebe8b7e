// cl::ini_file reading: matching rules, comments, section lists, pairs, bad and odd files.
#include "cl/ini/ini_file.h"

#include "ini_test_util.h"

#include <cstdlib>
#include <tuple>

namespace {

using ini_test::encode;
using ini_test::read_file;
using ini_test::write_file;
using strings = std::vector<std::wstring>;

class ini_read : public ini_test::folder_test {
protected:
    // An ini_file on a new file "t.ini" holding `text` (ANSI, no mark).
    cl::ini_file& with(const std::string& text) {
        write_file(path(L"t.ini"), text);
        ini_.set_file(path(L"t.ini"), false);
        return ini_;
    }
    cl::ini_file ini_;
};

const char* const watch_file =
    "; comment before any section\r\n"
    "stray=before the first header\r\n"
    "[Watch]\r\n"
    "Interval = 10\r\n"
    "  key with spaces\t= v1 \r\n"
    "tabbed=a\tb\r\n"
    "eq = x=y = z\r\n"
    "path=C:\\x;y\r\n"
    "no pair here\r\n"
    "=empty key\r\n"
    "[other] text after the bracket is ignored\r\n"
    "only_other=1\r\n"
    "[\xC4]\r\n"
    "umlaut=upper\r\n"
    "[ watch ]\r\n"
    "second_only=2\r\n"
    "interval=99\r\n"
    "[unclosed\r\n"
    "u=3\r\n";

TEST_F(ini_read, get_string_follows_the_matching_rules) {
    cl::ini_file& ini = with(watch_file);
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> found[] = {
        {L"WATCH", L"interval", L"10"},          // [Watch] and [ watch ] both match; the first key wins
        {L"  watch\t", L" INTERVAL ", L"10"},    // arguments are trimmed and folded
        {L"watch", L"key with spaces", L"v1"},   // inner spaces of a key stay, outer ones go
        {L"watch", L"tabbed", L"a b"},           // TAB in a value becomes a space
        {L"watch", L"eq", L"x=y = z"},           // everything after the first "="
        {L"watch", L"path", L"C:\\x;y"},         // ";" inside a line is text
        {L"watch", L"", L"empty key"},           // a line with an empty key part matches an empty key
        {L"watch", L"second_only", L"2"},        // later sections of the same name are searched too
        {L"OTHER", L"only_other", L"1"},
        {L"unclosed", L"u", L"3"},               // a header without "]" runs to the end of the line
    };
    for (const auto& row : found) {
        std::wstring value = L"untouched";
        EXPECT_TRUE(ini.get_string(std::get<0>(row), std::get<1>(row), value)) << std::get<0>(row) << L"/"
                                                                               << std::get<1>(row);
        EXPECT_EQ(value, std::get<2>(row));
        value.clear();
        EXPECT_TRUE(ini.get_string(std::get<0>(row), std::get<1>(row), value, 0));
        EXPECT_EQ(value, std::get<2>(row));
    }

    const std::pair<const wchar_t*, const wchar_t*> missing[] = {
        {L"", L"stray"},             // lines before the first header belong to no section
        {L"watch", L"stray"},
        {L"watch", L"only_other"},
        {L"watch", L"no pair here"},
        {L"\xE4", L"umlaut"},        // only ASCII letters fold: the section is [\xC4]
        {L"missing", L"interval"},
    };
    for (const auto& row : missing) {
        std::wstring value = L"untouched";
        EXPECT_FALSE(ini.get_string(row.first, row.second, value)) << row.first << L"/" << row.second;
        EXPECT_EQ(value, L"untouched");
    }
}

TEST_F(ini_read, read_section_reads_only_the_first_section_of_a_name) {
    cl::ini_file& ini = with(watch_file);
    strings lines{L"old content"};
    EXPECT_TRUE(ini.read_section(L"WATCH", lines, 0));
    EXPECT_EQ(lines, (strings{L"Interval=10", L"key with spaces=v1", L"tabbed=a b", L"eq=x=y = z", L"path=C:\\x;y"}));

    EXPECT_TRUE(ini.read_section(L"watch", lines, cl::ini_file::with_other_lines, 0));
    EXPECT_EQ(lines, (strings{L"Interval=10", L"key with spaces=v1", L"tabbed=a b", L"eq=x=y = z", L"path=C:\\x;y",
                              L"no pair here", L"=empty key"}));

    EXPECT_FALSE(ini.read_section(L"missing", lines, 0));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(ini.section_exists(L" Watch "));
    EXPECT_FALSE(ini.section_exists(L"stray"));
    EXPECT_TRUE(ini.section_has_lines(L"other", 0));
    EXPECT_TRUE(ini.section_has_lines(L"other", 0, 0));
}

TEST_F(ini_read, comment_lines_need_the_flag) {
    cl::ini_file& ini = with(
        "[notes]\n"
        "  ; first note\n"
        "\n"
        "\t;second = not a pair\n"
        "[empty]\n"
        "[mixed]\n"
        "k = v ; not a comment\n"
        "   loose text   \n"
        "; last\n");
    strings lines;
    EXPECT_TRUE(ini.read_section(L"notes", lines, 0));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(ini.section_has_lines(L"notes", 0));
    EXPECT_TRUE(ini.read_section(L"notes", lines, cl::ini_file::with_comments));
    EXPECT_EQ(lines, (strings{L"; first note", L";second = not a pair"}));
    EXPECT_TRUE(ini.section_has_lines(L"notes", cl::ini_file::with_comments));

    EXPECT_TRUE(ini.read_section(L"empty", lines, cl::ini_file::with_comments | cl::ini_file::with_other_lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(ini.section_has_lines(L"empty", 3, 0));

    EXPECT_TRUE(ini.read_section(L"mixed", lines, cl::ini_file::with_comments | cl::ini_file::with_other_lines));
    EXPECT_EQ(lines, (strings{L"k=v ; not a comment", L"loose text", L"; last"}));
}

TEST_F(ini_read, section_names_lists_every_header_as_written) {
    cl::ini_file& ini = with(
        "before=1\n"
        "[One]\n"
        ";[commented]\n"
        "  [ Two ]  trailing\n"
        "[]\n"
        "[   ]\n"
        "e=1\n"
        "[one]\n"
        "x=[not a header]\n");
    strings names{L"old"};
    EXPECT_TRUE(ini.section_names(names));
    EXPECT_EQ(names, (strings{L"One", L"Two", L"", L"", L"one"}));
    names = {L"old"};
    EXPECT_TRUE(ini.section_names(names, 0));
    EXPECT_EQ(names.size(), 5u);
    EXPECT_EQ(ini.section_count(), 5);
    EXPECT_EQ(ini.section_count(0), 5);

    std::wstring value;
    EXPECT_TRUE(ini.get_string(L" ", L"e", value));  // [] and [   ] have the same empty name
    EXPECT_EQ(value, L"1");
    EXPECT_TRUE(ini.get_string(L"ONE", L"x", value));
    EXPECT_EQ(value, L"[not a header]");
}

TEST_F(ini_read, read_section_pairs_appends_to_its_lists) {
    cl::ini_file& ini = with(
        "[calls]\n"
        "call = first.exe -a=1\n"
        "mail_to=\tx@example.org \n"
        "no pair\n"
        "call=second.exe\n"
        "[calls]\n"
        "call=third.exe\n");
    strings keys{L"k0"};
    strings values{L"v0"};
    ini.read_section_pairs(L"CALLS", keys, values);
    EXPECT_EQ(keys, (strings{L"k0", L"call", L"mail_to", L"call"}));
    EXPECT_EQ(values, (strings{L"v0", L"first.exe -a=1", L"x@example.org", L"second.exe"}));

    ini.read_section_pairs(L"calls", keys, values);
    EXPECT_EQ(keys.size(), 7u);
    EXPECT_EQ(values.size(), 7u);
    ini.read_section_pairs(nullptr, keys, values);
    ini.read_section_pairs(L"missing", keys, values);
    EXPECT_EQ(keys.size(), 7u);
}

TEST_F(ini_read, every_encoding_reads_the_same) {
    const std::wstring text = L"\r\n[Sect\x00E9]\r\nname = caf\x00E9 \xD83D\xDE00\r\nplain=1";
    for (auto enc : {cl::uni_file::utf8, cl::uni_file::utf16le, cl::uni_file::utf16be, cl::uni_file::utf32le,
                     cl::uni_file::utf32be}) {
        SCOPED_TRACE(ini_test::encoding_name(enc));
        write_file(path(L"e.ini"), encode(text, enc));
        cl::ini_file ini;
        ini.set_file(path(L"e.ini"), false);
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"SECT\x00E9", L"name", value));
        EXPECT_EQ(value, L"caf\x00E9 \xD83D\xDE00");
        strings names;
        EXPECT_TRUE(ini.section_names(names));
        EXPECT_EQ(names, strings{L"Sect\x00E9"});
        strings lines;
        EXPECT_TRUE(ini.read_section(L"sect\x00E9", lines, 0));
        EXPECT_EQ(lines, (strings{L"name=caf\x00E9 \xD83D\xDE00", L"plain=1"}));
    }
}

TEST_F(ini_read, a_missing_file_answers_false_silently) {
    cl::ini_file ini;
    ini.set_file(path(L"none.ini"), false);
    ini_test::error_capture::instance().start();
    std::wstring value = L"untouched";
    strings lines{L"untouched"};
    strings keys;
    strings values;
    EXPECT_FALSE(ini.get_string(L"a", L"b", value));
    EXPECT_FALSE(ini.get_string(L"a", L"b", value, 0));
    EXPECT_FALSE(ini.read_section(L"a", lines, 3));
    EXPECT_FALSE(ini.section_names(lines));
    EXPECT_FALSE(ini.section_exists(L"a"));
    EXPECT_FALSE(ini.section_has_lines(L"a", 0));
    EXPECT_EQ(ini.section_count(), 0);
    ini.read_section_pairs(L"a", keys, values);
    EXPECT_TRUE(ini_test::error_capture::instance().stop().empty());
    EXPECT_EQ(value, L"untouched");
    EXPECT_EQ(lines, strings{L"untouched"});
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(ini_test::exists(path(L"none.ini")));  // reading never creates the file

    // Not "file not found": the folder is missing, which is reported.
    ini.set_file(path(L"no folder\\x.ini"), false);
    ini_test::error_capture::instance().start();
    EXPECT_FALSE(ini.get_string(L"a", L"b", value));
    EXPECT_EQ(ini_test::error_capture::instance().stop(),
              std::vector<std::string>{ini_test::open_error_line(path(L"no folder\\x.ini"), ERROR_PATH_NOT_FOUND)});
}

TEST_F(ini_read, readers_may_share_the_file) {
    cl::ini_file& ini = with("[a]\nk=v\n");
    HANDLE reader = ::CreateFileW(path(L"t.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::wstring value;
    EXPECT_TRUE(ini.get_string(L"a", L"k", value));
    EXPECT_EQ(value, L"v");
    ::CloseHandle(reader);
}

// Odd input: every call answers, none crashes or hangs (ctest's time-out and a generous bound
// catch a hang).
TEST_F(ini_read, malformed_files_get_answers) {
    const DWORD start = ::GetTickCount();

    // Binary garbage with NULs, brackets, "=" and line ends, with and without a leading mark.
    std::string garbage;
    std::srand(12345);
    for (int i = 0; i < 200000; ++i) {
        static const char pick[] = {'\0', '[', ']', '=', ';', '\r', '\n', ' ', '\t', 'a', '\xFF', '\xC3', '\x80'};
        garbage.push_back(std::rand() % 3 == 0 ? pick[std::rand() % sizeof(pick)] : static_cast<char>(std::rand()));
    }
    for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE"),
                                      std::string("\x00\x00\xFE\xFF", 4), std::string("\xFF\xFE\x00\x00", 4)}) {
        cl::ini_file& ini = with(prefix + garbage + "\n[end]\nk=v");
        strings names;
        EXPECT_TRUE(ini.section_names(names));
        std::wstring value;
        ini.get_string(L"a", L"a", value);
        strings lines;
        ini.read_section(L"", lines, 3);
        EXPECT_GE(ini.section_count(), 0);
    }
    {
        // ANSI garbage keeps its last lines intact.
        cl::ini_file& ini = with(garbage + "\n[end]\nk=v");
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"end", L"k", value));
        EXPECT_EQ(value, L"v");
    }

    // A 1 MiB line, then a last line without a line end.
    {
        const std::string big(1 << 20, 'x');
        cl::ini_file& ini = with("[big]\nlong=" + big + "\nlast=1");
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"big", L"long", value));
        EXPECT_EQ(value.size(), big.size());
        EXPECT_TRUE(ini.get_string(L"big", L"last", value));
        EXPECT_EQ(value, L"1");
    }

    // 10,000 sections.
    {
        std::string many;
        for (int i = 0; i < 10000; ++i) many += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
        cl::ini_file& ini = with(many);
        EXPECT_EQ(ini.section_count(), 10000);
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"s9999", L"k", value));
        EXPECT_EQ(value, L"9999");
        strings lines;
        EXPECT_TRUE(ini.read_section(L"S5000", lines, 0));
        EXPECT_EQ(lines, strings{L"k=5000"});
    }

    // A UTF-16 file with an odd byte at its end, a UTF-8 file with a broken sequence.
    {
        cl::ini_file& ini = with(encode(L"[a]\r\nk=v", cl::uni_file::utf16le) + "X");
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"a", L"k", value));
        EXPECT_EQ(value, L"v");
    }
    {
        cl::ini_file& ini = with("\xEF\xBB\xBF[a]\nk=\xC3(\nz=\xF0\x9F");
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"a", L"k", value));
        EXPECT_EQ(value, L"?");
    }
    EXPECT_LT(::GetTickCount() - start, 300000u);
}

}  // namespace
