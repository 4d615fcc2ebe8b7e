// Bad input for the configuration reader: 1,000 mutated tolvarn.ini files (bit flips, truncations,
// byte-order marks right and wrong, huge lines, thousands of sections, NUL bytes, stray line ends,
// broken UTF-8 and UTF-16) loaded by load_config_file in this process. No file may crash or hang
// it, and every answer stays within what the file can hold: no more watch entries than "[" bytes,
// no more list entries than "=" bytes, no text longer than the file. Each case has its own seed,
// printed on failure; TOLVARN_FUZZ_SCALE multiplies the number of cases.
#include "core/app_config.h"
#include "core/config.h"
#include "fuzz_util.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace {

const std::string base_ini =
    "; watchdog configuration\r\n"
    "[tolvarn]\r\n"
    "smtp_server = mail.example.com\r\n"
    "smtp_username=watch\r\n"
    "smtp_password=se=cret\r\n"
    "initial_delay=0\r\n"
    "\r\n"
    "[notepad.exe]\r\n"
    "interval=5\r\n"
    "call=C:\\Windows\\notepad.exe\r\n"
    "call=C:\\Tools\\notify.exe notepad.exe\r\n"
    "mail_from=watchdog@example.com\r\n"
    "mail_to=ops@example.com, admin@example.com\r\n"
    "mail_cc=\"Night Shift\" <night@example.com>\r\n"
    "mail_subject=notepad restarted\r\n"
    "mail_body=The program was started again.\r\n"
    "mail_attachment=C:\\logs\\notepad.log\r\n"
    "  ; an indented comment\r\n"
    "a line without an equals sign\r\n"
    "\r\n"
    "[  Service Host.EXE  ]\r\n"
    "interval=-1\r\n"
    "CALL = \"C:\\Program Files\\host.exe\" --mode=fast\r\n"
    "[]\r\n"
    "interval=30s\r\n"
    "[TOLVARN]\r\n"
    "call=ignored.exe\r\n"
    "[last.exe]\r\n"
    "interval=\r\n";

const std::string boms[] = {"\xEF\xBB\xBF", std::string("\xFF\xFE", 2), std::string("\xFE\xFF", 2),
                            std::string("\xFF\xFE\0\0", 4), std::string("\0\0\xFE\xFF", 4), "\xEF\xBB", "\xFF"};

// The base file in UTF-16 (either order) or UTF-32 LE, each with its mark.
std::string encoded(const std::string& text, int kind) {
    std::string out = kind == 0 ? std::string("\xFF\xFE", 2) : kind == 1 ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE\0\0", 4);
    for (char c : text) {
        if (kind == 0) out += c, out += '\0';
        else if (kind == 1) out += '\0', out += c;
        else out += c, out.append(3, '\0');
    }
    return out;
}

std::string random_bytes(fuzz::rng& r, std::size_t n, bool printable) {
    std::string s(n, ' ');
    for (char& c : s) c = static_cast<char>(printable ? 0x20 + r.below(95) : r.below(256));
    return s;
}

std::string mutate(fuzz::rng& r, int kind) {
    std::string f = base_ini;
    switch (kind) {
    case 0:  // bit flips
        for (std::size_t n = 1 + r.below(24); n > 0; --n) f[r.below(f.size())] ^= static_cast<char>(1u << r.below(8));
        break;
    case 1:  // truncation, also inside a mark or a UTF-16 character
        f = (r.chance(50) ? f : encoded(f, static_cast<int>(r.below(3))));
        f.resize(r.below(f.size() + 1));
        break;
    case 2:  // a mark, right or wrong for the text behind it
        f = r.chance(30) ? encoded(f, static_cast<int>(r.below(3))) : boms[r.below(7)] + f;
        if (r.chance(30)) f = boms[r.below(7)] + f;
        break;
    case 3: {  // a huge line: a value, a key, a header without "]", or a comment
        const std::size_t n = 65536 + r.below(1 << 20);
        const std::string big = random_bytes(r, n, r.chance(80));
        const char* const shapes[] = {"mail_body=", "", "[", ";", "call="};
        const std::size_t at = f.find("[notepad.exe]") + 15;
        f.insert(r.chance(50) ? at : f.size(), shapes[r.below(5)] + big + (r.chance(50) ? "\r\n" : ""));
        break;
    }
    case 4: {  // thousands of sections
        const std::size_t n = 2000 + r.below(1500);
        std::string more;
        for (std::size_t i = 0; i < n; ++i) {
            more += "[p" + std::to_string(r.below(50)) + ".exe]\r\n";
            if (r.chance(30)) more += "call=x" + std::to_string(i) + "\r\n";
        }
        f += more;
        break;
    }
    case 5:  // NUL bytes, single and in runs
        for (std::size_t n = 1 + r.below(30); n > 0; --n) f.insert(r.below(f.size() + 1), std::string(1 + r.below(r.chance(20) ? 5000 : 3), '\0'));
        break;
    case 6:  // stray line ends
        for (std::size_t n = 1 + r.below(40); n > 0; --n) f.insert(r.below(f.size() + 1), 1, r.chance(50) ? '\r' : '\n');
        if (r.chance(50)) f += "\r";
        break;
    case 7:  // broken UTF-8 and UTF-16: lone lead bytes, surrogates, overlong forms, odd length
        if (r.chance(50)) {
            f = "\xEF\xBB\xBF" + f;
            const char* const bad[] = {"\xC0\xAF", "\xE0\x80", "\xF4\x90\x80\x80", "\xFF\xFE", "\xED\xA0\x80", "\xC3", "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80"};
            for (std::size_t n = 1 + r.below(30); n > 0; --n) f.insert(r.below(f.size() + 1), bad[r.below(8)]);
        } else {
            f = encoded(f, static_cast<int>(r.below(2)));
            for (std::size_t n = 1 + r.below(20); n > 0; --n) {
                const std::size_t at = 2 + 2 * r.below((f.size() - 2) / 2);
                f.insert(at, r.chance(50) ? std::string("\x00\xD8", 2) : std::string("\x00\xDC", 2));
            }
            if (r.chance(50)) f += 'x';
        }
        break;
    default:  // garbage, or several of the above together
        if (r.chance(30)) return random_bytes(r, r.below(4096), false);
        f = mutate(r, static_cast<int>(r.below(3)));
        f += mutate(r, 5 + static_cast<int>(r.below(3)));
        break;
    }
    return f;
}

class config_fuzz : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        dir_ = std::wstring(temp, n) + L"tolvarn_config_fuzz_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(dir_.c_str(), nullptr);
        path_ = dir_ + L"tolvarn.ini";
    }
    void TearDown() override {
        ::DeleteFileW(path_.c_str());
        ::RemoveDirectoryW(dir_.c_str());
    }
    bool write(const std::string& bytes) const {
        HANDLE h = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD done = 0;
        const BOOL ok = bytes.empty() || ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
        ::CloseHandle(h);
        return ok && done == bytes.size();
    }
    std::wstring dir_, path_;
};

TEST_F(config_fuzz, mutated_files_load_within_their_bounds) {
    const int total = fuzz::cases(1000);
    double slowest = 0;
    for (int i = 0; i < total; ++i) {
        const std::uint64_t seed = 0xC0F16000u + static_cast<std::uint64_t>(i);
        fuzz::rng r(seed);
        // Thousands of sections cost seconds each (every key is a scan of the file): a few cases.
        int kind = static_cast<int>(r.below(9));
        if (kind == 4 && i % 100 != 0) kind = 0;
        if (i % 250 == 0) kind = 4;
        if (kind == 3 && i % 4 != 0) kind = 6;
        const std::string bytes = mutate(r, kind);
        SCOPED_TRACE(fuzz::seed_text(seed) + ", mutation " + std::to_string(kind) + ", " + std::to_string(bytes.size()) + " bytes");
        ASSERT_TRUE(write(bytes));

        tolvarn::app_config_record config;
        const auto start = std::chrono::steady_clock::now();
        tolvarn::load_config_file(config, path_);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, seconds);

        const std::size_t brackets = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '['));
        const std::size_t equals = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '='));
        ASSERT_LE(config.watches.size(), brackets);
        ASSERT_LE(seconds, 60.0) << "one load took " << seconds << " s";
        EXPECT_LE(config.smtp_server.size() + config.smtp_username.size() + config.smtp_password.size(), bytes.size());
        std::size_t list_entries = 0;
        for (const tolvarn::watch_entry& w : config.watches) {
            list_entries += w.calls.size() + w.mail_to.size() + w.mail_cc.size() + w.mail_attachments.size();
            ASSERT_LE(w.name.size(), bytes.size());
            for (const std::wstring& c : w.calls) ASSERT_LE(c.size(), bytes.size());
            ASSERT_LE(w.mail_from.size() + w.mail_subject.size(), bytes.size());
        }
        // Every list entry is a key=value line of the first section of its name; duplicate
        // sections repeat the entries of the first one.
        ASSERT_LE(list_entries, equals * std::max<std::size_t>(1, config.watches.size()));
    }
    RecordProperty("slowest_load_ms", static_cast<int>(slowest * 1000));
}

TEST_F(config_fuzz, missing_empty_and_locked_files_give_an_empty_table) {
    tolvarn::app_config_record config;
    config.watches.resize(3);
    tolvarn::load_config_file(config, path_);  // missing
    EXPECT_TRUE(config.watches.empty());

    ASSERT_TRUE(write(""));
    tolvarn::load_config_file(config, path_);
    EXPECT_TRUE(config.watches.empty());

    ASSERT_TRUE(write(base_ini));
    HANDLE lock = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    tolvarn::load_config_file(config, path_);
    EXPECT_TRUE(config.watches.empty());
    ::CloseHandle(lock);
    tolvarn::load_config_file(config, path_);
    EXPECT_EQ(config.watches.size(), 4u);  // notepad.exe, Service Host.EXE, [] and last.exe; [TOLVARN] is global
}

}  // namespace
