// cl::ini_file editing: the changes, encodings, the first-line rule, normalised lines, and files
// that cannot be opened or written back.
#include "cl/ini/ini_file.h"

#include "ini_test_util.h"

namespace {

using ini_test::encode;
using ini_test::read_file;
using ini_test::write_file;
using strings = std::vector<std::wstring>;

class ini_edit : public ini_test::folder_test {
protected:
    cl::ini_file& with(const std::string& bytes, bool write_utf8 = false) {
        write_file(path(L"t.ini"), bytes);
        ini_.set_file(path(L"t.ini"), write_utf8);
        return ini_;
    }
    std::string content() const { return read_file(path(L"t.ini")); }
    // Only the INI file is left: the temporary copy is gone.
    void expect_no_temporary_file() const { EXPECT_EQ(files(), strings{L"t.ini"}); }

    cl::ini_file ini_;
};

struct set_case {
    const char* before;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    const char* after;
};

TEST_F(ini_edit, set_string_replaces_inserts_or_appends) {
    const set_case cases[] = {
        // The first matching key is replaced, written with the key as passed.
        {"[a]\nx=1\nx=2\n", L"a", L"X", L"9", "[a]\r\nX=9\r\nx=2\r\n"},
        // A new key goes to the end of its section, once.
        {"top=0\n[a]\nx=1\n[b]\ny=2\n", L" A ", L"z", L"3", "top=0\r\n[a]\r\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n"},
        {"[a]\n[b]\n[a]\n", L"a", L"z", L"1", "[a]\r\nz=1\r\n[b]\r\n[a]\r\n"},
        // A match in a later section of the same name is replaced as well.
        {"[a]\nx=1\n[b]\n[A]\nx=2\n", L"a", L"x", L"9", "[a]\r\nx=9\r\n[b]\r\n[A]\r\nx=9\r\n"},
        // A missing section is appended with the section and key as passed.
        {"[a]\nx=1\n", L" New ", L"Key", L"v", "[a]\r\nx=1\r\n[ New ]\r\nKey=v\r\n"},
        // The last section, whose last line has no line end.
        {"[a]\nx=1", L"a", L"y", L"2", "[a]\r\nx=1\r\ny=2\r\n"},
        // Comments never match; keys match trimmed.
        {"; c\n[a]\n;x=1\n  x \t= 1\n", L"a", L"x", L"2", "; c\r\n[a]\r\n;x=1\r\nx=2\r\n"},
        // Line ends inside the value cannot split the line.
        {"[a]\n", L"a", L"k", L"1\r\n[evil]", "[a]\r\nk=1  [evil]\r\n"},
        // An empty file.
        {"", L"s", L"k", L"v", "[s]\r\nk=v\r\n"},
    };
    for (const set_case& c : cases) {
        SCOPED_TRACE(c.before);
        EXPECT_TRUE(with(c.before).set_string(c.section, c.key, c.value));
        EXPECT_EQ(content(), c.after);
    }
    expect_no_temporary_file();
}

struct edit_case {
    const char* before;
    const wchar_t* section;
    const wchar_t* key;  // delete_key only
    const char* after;
};

TEST_F(ini_edit, delete_key_drops_the_first_match_of_each_section) {
    const edit_case cases[] = {
        {"[a]\nx=1\nx=2\n[b]\nx=3\n", L"a", L"X", "[a]\r\nx=2\r\n[b]\r\nx=3\r\n"},
        {"[a]\nx=1\n[a]\nx=2\n", L"A", L"x", "[a]\r\n[a]\r\n"},
        // Nothing to delete: the file is rewritten all the same.
        {"[a]\n  y=1\n", L"a", L"x", "[a]\r\ny=1\r\n"},
        {"x=1\n", L"", L"x", "x=1\r\n"},
    };
    for (const edit_case& c : cases) {
        SCOPED_TRACE(c.before);
        EXPECT_TRUE(with(c.before).delete_key(c.section, c.key));
        EXPECT_EQ(content(), c.after);
    }
    expect_no_temporary_file();
}

TEST_F(ini_edit, write_section_replaces_every_section_of_the_name) {
    EXPECT_TRUE(with("top\n[a]\nx=1\n; c\n\n[b]\ny=1\n[A]\nz=1\n").write_section(L"a", {L"n=1", L"m = 2"}));
    EXPECT_EQ(content(), "top\r\n[a]\r\nn=1\r\nm = 2\r\n[b]\r\ny=1\r\n[A]\r\n");
    EXPECT_TRUE(with("[b]\ny=1\n").write_section(L"a", {L"n=1", L"two\nlines"}));
    EXPECT_EQ(content(), "[b]\r\ny=1\r\n[a]\r\nn=1\r\ntwo lines\r\n");
    EXPECT_TRUE(with("").write_section(L"a", {}));
    EXPECT_EQ(content(), "[a]\r\n");
    expect_no_temporary_file();
}

TEST_F(ini_edit, delete_section_drops_every_section_of_the_name) {
    EXPECT_TRUE(with("top=1\n[a]\nx=1\n; c\n\n[b]\ny=1\n[ A ]\nz=1\n").delete_section(L"a"));
    EXPECT_EQ(content(), "top=1\r\n[b]\r\ny=1\r\n");
    EXPECT_TRUE(with("[b]\n").delete_section(L"a"));
    EXPECT_EQ(content(), "[b]\r\n");
    expect_no_temporary_file();
}

TEST_F(ini_edit, every_encoding_survives_a_series_of_edits) {
    for (auto enc : {cl::uni_file::ansi, cl::uni_file::utf8, cl::uni_file::utf16le, cl::uni_file::utf16be,
                     cl::uni_file::utf32le, cl::uni_file::utf32be}) {
        SCOPED_TRACE(ini_test::encoding_name(enc));
        const bool ansi = enc == cl::uni_file::ansi;
        // Characters beyond ASCII only where the encoding holds them whatever the code page.
        const std::wstring name = ansi ? L"plain" : L"t\x00E9st \xD83D\xDE00";
        cl::ini_file& ini = with(encode(L"[Main]\r\nname = old\r\n  old = 1\n[Drop]\r\ngone=1\r\n[Keep]\r\nk=v", enc));
        HANDLE h = ::CreateFileW(path(L"t.ini").c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION before = {};
        ::GetFileInformationByHandle(h, &before);
        ::CloseHandle(h);

        ASSERT_TRUE(ini.set_string(L"main", L"name", name));
        // The first-line rule: a file with a mark starts with an empty line.
        const std::wstring start = ansi ? L"" : L"\r\n";
        EXPECT_EQ(content(), encode(start + L"[Main]\r\nname=" + name +
                                        L"\r\nold = 1\r\n[Drop]\r\ngone=1\r\n[Keep]\r\nk=v\r\n",
                                    enc));
        EXPECT_TRUE(ini.set_string(L"main", L"added", L"2"));
        EXPECT_TRUE(ini.delete_key(L"main", L"old"));
        EXPECT_TRUE(ini.write_section(L"keep", {L"a=1", L"; c"}));
        EXPECT_TRUE(ini.delete_section(L"drop"));
        EXPECT_TRUE(ini.set_string(L"New", L"x", L"y"));
        EXPECT_EQ(content(),
                  encode(start + L"[Main]\r\nname=" + name + L"\r\nadded=2\r\n[Keep]\r\na=1\r\n; c\r\n[New]\r\nx=y\r\n",
                         enc));
        std::wstring value;
        EXPECT_TRUE(ini.get_string(L"MAIN", L"name", value));
        EXPECT_EQ(value, name);

        // Still the same file on disk.
        h = ::CreateFileW(path(L"t.ini").c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION after = {};
        ::GetFileInformationByHandle(h, &after);
        ::CloseHandle(h);
        EXPECT_EQ(after.nFileIndexLow, before.nFileIndexLow);
        EXPECT_EQ(after.nFileIndexHigh, before.nFileIndexHigh);
        expect_no_temporary_file();
    }
}

TEST_F(ini_edit, a_second_rewrite_adds_no_further_empty_line) {
    cl::ini_file& ini = with("\xEF\xBB\xBF[a]\nx=1\n");
    EXPECT_TRUE(ini.set_string(L"a", L"x", L"2"));
    EXPECT_EQ(content(), "\xEF\xBB\xBF\r\n[a]\r\nx=2\r\n");
    EXPECT_TRUE(ini.set_string(L"a", L"x", L"3"));
    EXPECT_EQ(content(), "\xEF\xBB\xBF\r\n[a]\r\nx=3\r\n");

    // A first line of white space only is empty once its indentation is gone.
    EXPECT_TRUE(with("\xEF\xBB\xBF  \t\n[a]\n").delete_key(L"a", L"x"));
    EXPECT_EQ(content(), "\xEF\xBB\xBF\r\n[a]\r\n");
    // A dropped first line still gets its empty line in front.
    EXPECT_TRUE(with("\xEF\xBB\xBF[a]\n[b]\n").delete_section(L"a"));
    EXPECT_EQ(content(), "\xEF\xBB\xBF\r\n[b]\r\n");
    // Without a mark nothing is added.
    EXPECT_TRUE(with("[a]\nx=1\n").set_string(L"a", L"x", L"2"));
    EXPECT_EQ(content(), "[a]\r\nx=2\r\n");
}

TEST_F(ini_edit, a_rewrite_removes_indentation_and_ends_every_line_with_cr_lf) {
    cl::ini_file& ini = with("  [a]\n\tx = 1\r   ; c\r\n\n  \ny=2");
    EXPECT_TRUE(ini.delete_key(L"a", L"missing"));
    EXPECT_EQ(content(), "[a]\r\nx = 1\r\n; c\r\n\r\n\r\ny=2\r\n");
}

TEST_F(ini_edit, set_string_on_a_missing_or_empty_file_starts_it) {
    const std::string utf8_mark = "\xEF\xBB\xBF";
    for (bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8);
        const std::string expected = (utf8 ? utf8_mark : std::string()) + "[s]\r\nk=v\r\n";
        cl::ini_file ini;
        ini.set_file(path(L"new.ini"), utf8);
        EXPECT_TRUE(ini.set_string(L"s", L"k", L"v"));
        EXPECT_EQ(read_file(path(L"new.ini")), expected);
        ::DeleteFileW(path(L"new.ini").c_str());

        EXPECT_TRUE(with("", utf8).set_string(L"s", L"k", L"v"));
        EXPECT_EQ(content(), expected);
    }
    // A file holding only a mark keeps its encoding and gets no empty line.
    EXPECT_TRUE(with("\xFF\xFE", true).set_string(L"s", L"k", L"v"));
    EXPECT_EQ(content(), encode(L"[s]\r\nk=v\r\n", cl::uni_file::utf16le));
}

TEST_F(ini_edit, write_utf8_turns_only_files_without_a_mark_into_utf8) {
    wchar_t e_acute = 0;
    ASSERT_EQ(::MultiByteToWideChar(CP_THREAD_ACP, 0, "\xE9", 1, &e_acute, 1), 1);
    const std::wstring value(1, e_acute);

    cl::ini_file& ini = with("[a]\r\nk=\xE9\r\n", true);
    std::wstring read;
    EXPECT_TRUE(ini.get_string(L"a", L"k", read));  // the flag does not change reading
    EXPECT_EQ(read, value);
    EXPECT_TRUE(ini.delete_key(L"a", L"missing"));
    const std::string as_utf8 = encode(L"\r\n[a]\r\nk=" + value + L"\r\n", cl::uni_file::utf8);
    EXPECT_EQ(content(), as_utf8);
    EXPECT_TRUE(ini.delete_key(L"a", L"missing"));
    EXPECT_EQ(content(), as_utf8);  // stable from the first rewrite on

    // Without the flag the file stays in the code page.
    EXPECT_TRUE(with("[a]\r\nk=\xE9\r\n", false).delete_key(L"a", L"missing"));
    EXPECT_EQ(content(), "[a]\r\nk=\xE9\r\n");
    // A file with a mark keeps its encoding.
    const std::string utf16 = encode(L"\r\n[a]\r\nk=v\r\n", cl::uni_file::utf16be);
    EXPECT_TRUE(with(utf16, true).delete_key(L"a", L"missing"));
    EXPECT_EQ(content(), utf16);
}

// Another handle holds the file without sharing: every operation fails and logs error 32.
TEST_F(ini_edit, a_locked_file_fails_every_operation_and_logs_it) {
    const std::string before = "[a]\r\nk=v\r\n";
    cl::ini_file& ini = with(before);
    HANDLE lock = ::CreateFileW(path(L"t.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    ini_test::error_capture& log = ini_test::error_capture::instance();
    log.start();
    std::wstring value = L"untouched";
    strings lines{L"untouched"};
    strings keys;
    strings values;
    EXPECT_FALSE(ini.get_string(L"a", L"k", value));
    EXPECT_FALSE(ini.get_string(L"a", L"k", value, 0));
    EXPECT_FALSE(ini.read_section(L"a", lines, 0));
    EXPECT_FALSE(ini.read_section(L"a", lines, 0, 0));
    EXPECT_FALSE(ini.section_names(lines));
    EXPECT_FALSE(ini.section_names(lines, 0));
    EXPECT_FALSE(ini.section_has_lines(L"a", 0));
    EXPECT_FALSE(ini.section_has_lines(L"a", 0, 0));
    EXPECT_FALSE(ini.set_string(L"a", L"k", L"w"));
    EXPECT_FALSE(ini.delete_key(L"a", L"k"));
    EXPECT_FALSE(ini.write_section(L"a", {L"x=1"}));
    EXPECT_FALSE(ini.delete_section(L"a"));
    EXPECT_FALSE(ini.section_exists(L"a"));
    EXPECT_EQ(ini.section_count(), 0);
    EXPECT_EQ(ini.section_count(0), 0);
    ini.read_section_pairs(L"a", keys, values);
    const std::vector<std::string> logged = log.stop();
    ::CloseHandle(lock);

    EXPECT_EQ(logged, std::vector<std::string>(16, ini_test::open_error_line(path(L"t.ini"), ERROR_SHARING_VIOLATION)));
    EXPECT_EQ(value, L"untouched");
    EXPECT_EQ(lines, strings{L"untouched"});
    EXPECT_TRUE(keys.empty() && values.empty());
    EXPECT_EQ(content(), before);
    expect_no_temporary_file();
    // The reserved operations do nothing.
    EXPECT_TRUE(ini.reserved_1());
    EXPECT_TRUE(ini.reserved_2());
    ini.reserved_3();
}

// A mapped view of the file keeps it from being cut shorter: the copy back fails, the edit says
// so and leaves the file as it was.
TEST_F(ini_edit, a_failed_copy_back_is_reported) {
    const std::string before = "[a]\r\nx=1\r\ny=2\r\n";
    cl::ini_file& ini = with(before);
    HANDLE file = ::CreateFileW(path(L"t.ini").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);

    EXPECT_FALSE(ini.delete_key(L"a", L"y"));
    EXPECT_FALSE(ini.delete_section(L"a"));
    EXPECT_EQ(content(), before);
    expect_no_temporary_file();

    ::UnmapViewOfFile(view);
    ::CloseHandle(mapping);
    ::CloseHandle(file);
    EXPECT_TRUE(ini.delete_key(L"a", L"y"));
    EXPECT_EQ(content(), "[a]\r\nx=1\r\n");
}

TEST_F(ini_edit, large_files_are_rewritten_whole) {
    const DWORD start = ::GetTickCount();
    std::string many;
    std::string expected;
    for (int i = 0; i < 10000; ++i) {
        many += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
        expected += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    }
    const std::string big(1 << 20, 'x');
    cl::ini_file& ini = with(many + "[big]\nlong=" + big);
    EXPECT_TRUE(ini.set_string(L"s0", L"k", L"first"));
    EXPECT_TRUE(ini.set_string(L"s0", L"k", L"0"));
    EXPECT_EQ(content(), expected + "[big]\r\nlong=" + big + "\r\n");
    EXPECT_TRUE(ini.delete_section(L"big"));
    EXPECT_EQ(content(), expected);
    EXPECT_EQ(ini.section_count(), 10000);
    expect_no_temporary_file();
    EXPECT_LT(::GetTickCount() - start, 300000u);
}

}  // namespace
