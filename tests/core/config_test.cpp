// load_config over real files: the global section, the watch entries and their repeatable keys.
#include "cl/trace/lined_trace.h"
#include "cl/trace/trace.h"
#include "core/config.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace tolvarn {
namespace {

// Collects every line written to cl::g_trace_out (attached once, for the whole test program).
class capture_sink : public cl::lined_trace {
public:
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::exchange(lines_, {});
    }

protected:
    void output_line(const char* line) override {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(line);
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

capture_sink& captured() {
    static capture_sink* sink = [] {
        auto* s = new capture_sink;  // lives to process exit: the trace list keeps a pointer
        cl::trace_add(&cl::g_trace_out, s);
        return s;
    }();
    return *sink;
}

class config_test : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t base[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
        dir_ = std::wstring(base, n) + L"tolvarn_config_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter_) + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
        captured().take();
    }
    void TearDown() override {
        for (const auto& f : files_) ::DeleteFileW(f.c_str());
        ::RemoveDirectoryW(dir_.c_str());
    }
    std::wstring write(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = dir_ + name;
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(h);
        files_.push_back(path);
        return path;
    }
    app_config_record load(const std::string& ini) {
        app_config_record config;
        load_config_file(config, write(L"tolvarn.ini", ini));
        return config;
    }

    std::wstring dir_;
    std::vector<std::wstring> files_;
    static int counter_;
};
int config_test::counter_ = 0;

using strings = std::vector<std::wstring>;

TEST_F(config_test, global_section_in_any_case_sets_the_global_settings_and_is_not_watched) {
    const auto config = load(
        "[TolVarn]\r\nsmtp_server = mail.example.com:2525\r\nsmtp_username=ops\r\nsmtp_password= s3cret \r\n"
        "initial_delay=30s\r\ncall=ignored.exe\r\n[watched.exe]\r\n");
    EXPECT_EQ(config.smtp_server, L"mail.example.com:2525");
    EXPECT_EQ(config.smtp_username, L"ops");
    EXPECT_EQ(config.smtp_password, L"s3cret");
    EXPECT_EQ(config.initial_delay, 30u);
    ASSERT_EQ(config.watches.size(), 1u);
    EXPECT_EQ(config.watches[0].name, L"watched.exe");
    EXPECT_TRUE(captured().take().empty());
}

TEST_F(config_test, a_program_section_gets_its_keys_and_defaults) {
    const auto config = load(
        "; a comment\r\n[a.exe]\r\nCall=first.exe\r\nCALL=second.exe --mode=fast --x=1\r\ncall=third.exe\r\n"
        "mail_from=ops@example.com\r\nmail_to=a@example.com, b@example.com\r\nmail_to=c@example.com\r\n"
        "mail_cc=d@example.com\r\nmail_subject=Down\r\nmail_body=It stopped.\r\n"
        "mail_attachment=C:\\logs\\a.log\r\nmail_attachment=\r\nunknown=1\r\n[b.exe]\r\ninterval=\r\n[c.exe]\r\n");
    ASSERT_EQ(config.watches.size(), 3u);
    const watch_entry& a = config.watches[0];
    EXPECT_EQ(a.name, L"a.exe");
    EXPECT_EQ(a.interval, 10u);
    EXPECT_EQ(a.calls, (strings{L"first.exe", L"second.exe --mode=fast --x=1", L"third.exe"}));
    EXPECT_EQ(a.mail_from, L"ops@example.com");
    EXPECT_EQ(a.mail_to, (strings{L"a@example.com, b@example.com", L"c@example.com"}));
    EXPECT_EQ(a.mail_cc, (strings{L"d@example.com"}));
    EXPECT_EQ(a.mail_subject, L"Down");
    EXPECT_EQ(a.mail_body, L"It stopped.");
    EXPECT_EQ(a.mail_attachments, (strings{L"C:\\logs\\a.log", L""}));
    EXPECT_EQ(config.watches[1].interval, 0u);  // present but empty
    EXPECT_EQ(config.watches[2].interval, 10u);
    EXPECT_TRUE(config.watches[2].calls.empty());
}

TEST_F(config_test, interval_values_are_parsed_leniently) {
    const auto config = load("[z.exe]\r\ninterval=0\r\n[n.exe]\r\ninterval=abc\r\n[m.exe]\r\ninterval=-1\r\n"
                             "[s.exe]\r\ninterval=30s\r\n");
    ASSERT_EQ(config.watches.size(), 4u);
    EXPECT_EQ(config.watches[0].interval, 0u);
    EXPECT_EQ(config.watches[1].interval, 0u);
    EXPECT_EQ(config.watches[2].interval, 0xFFFFFFFFu);
    EXPECT_EQ(config.watches[3].interval, 30u);
}

TEST_F(config_test, body_from_a_file_has_lf_cr_after_every_line) {
    const std::wstring body = write(L"body.txt", "line one\r\nline two\n");
    const auto config = load("[a.exe]\r\nmail_body=@" + std::string(body.begin(), body.end()) + "\r\n[b.exe]\r\nmail_body=@\r\n"
                             "[c.exe]\r\nmail_body=@C:\\no\\such\\body.txt\r\n");
    ASSERT_EQ(config.watches.size(), 3u);
    EXPECT_EQ(config.watches[0].mail_body, L"line one\n\rline two\n\r");
    EXPECT_EQ(config.watches[1].mail_body, L"");  // "@" alone names a file with an empty name
    EXPECT_EQ(config.watches[2].mail_body, L"");
}

TEST_F(config_test, same_named_sections_give_identical_entries) {
    const auto config = load("[dup.exe]\r\ncall=one.exe\r\n[other.exe]\r\n[DUP.exe]\r\ninterval=5\r\ncall=two.exe\r\n");
    ASSERT_EQ(config.watches.size(), 3u);
    const watch_entry& first = config.watches[0];
    const watch_entry& second = config.watches[2];
    EXPECT_EQ(second.name, L"DUP.exe");  // the name as listed
    // Once-only keys come from the first occurrence across both, repeatable ones from the first only.
    EXPECT_EQ(first.interval, 5u);
    EXPECT_EQ(second.interval, 5u);
    EXPECT_EQ(first.calls, (strings{L"one.exe"}));
    EXPECT_EQ(second.calls, (strings{L"one.exe"}));
}

TEST_F(config_test, empty_section_name_is_a_watch_entry) {
    const auto config = load("[]\r\ncall=x.exe\r\n");
    ASSERT_EQ(config.watches.size(), 1u);
    EXPECT_EQ(config.watches[0].name, L"");
    EXPECT_EQ(config.watches[0].calls, (strings{L"x.exe"}));
}

TEST_F(config_test, encodings_are_taken_from_the_byte_order_mark) {
    std::string utf16le = "\xFF\xFE";
    const std::wstring text = L"[w\u00e9.exe]\r\ninterval=7\r\n";
    for (wchar_t c : text) {
        utf16le.push_back(static_cast<char>(c & 0xFF));
        utf16le.push_back(static_cast<char>(c >> 8));
    }
    auto config = load(utf16le);
    ASSERT_EQ(config.watches.size(), 1u);
    EXPECT_EQ(config.watches[0].name, L"w\u00e9.exe");
    EXPECT_EQ(config.watches[0].interval, 7u);

    config = load("\xEF\xBB\xBF[w\xC3\xA9.exe]\r\ninterval=8\r\n");
    ASSERT_EQ(config.watches.size(), 1u);
    EXPECT_EQ(config.watches[0].name, L"w\u00e9.exe");
    EXPECT_EQ(config.watches[0].interval, 8u);
}

TEST_F(config_test, a_missing_file_is_reported_and_watches_nothing) {
    app_config_record config;
    config.smtp_server = L"kept";
    load_config_file(config, dir_ + L"missing.ini");
    EXPECT_TRUE(config.watches.empty());
    EXPECT_EQ(config.smtp_server, L"kept");
    const auto lines = captured().take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Error querying section names from ini file tolvarn.ini.\n");
}

TEST_F(config_test, malformed_files_load_without_crashing) {
    std::string garbage;
    unsigned x = 7;
    for (int i = 0; i < 100000; ++i) {
        x = x * 1664525u + 1013904223u;
        garbage.push_back(static_cast<char>(x >> 24));
    }
    load(garbage);
    load(std::string(1 << 20, 'k') + "=v\r\n[a.exe]");  // a 1 MiB line, no newline at the end
    static const char with_nul[] = "[a.exe]\0\r\ninterval=3\r\n";
    const auto config = load(std::string(with_nul, sizeof(with_nul) - 1));
    ASSERT_EQ(config.watches.size(), 1u);
}

}  // namespace
}  // namespace tolvarn
