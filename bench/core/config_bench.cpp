// Configuration scale: load_config_file on tolvarn.ini files of 10, 100 and 1,000 program
// sections (seven keys each, as a real configuration has), against GetPrivateProfileStringW and
// GetPrivateProfileSectionW reading the same keys of the same file in the same run. Every read of
// the INI class opens the file and reads it whole, and answers from the parse of the last read when
// the bytes are the same, so one load costs one parse and a file read per key.
//
// The "I/O floor" is the file access a class that keeps nothing between reads cannot avoid: the
// same opens, each reading 4 KiB blocks up to the end of the section it looks for, without any
// parsing, measured in the same run. Goals: 1,000 sections in at most 1 s and at most 1.5 x the
// floor; growth from 100 to 1,000 sections at most 12 x.
//
// Usage: config_bench [rounds, default 3] [largest section count, default 1000]
// Files are written in the ANSI code page (no byte-order mark), as UTF-8 and as UTF-16 LE.
#include "bench/bench_util.h"
#include "core/app_config.h"
#include "core/config.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t* const once_keys[] = {L"interval", L"mail_from", L"mail_subject", L"mail_body"};
const wchar_t* const global_keys[] = {L"smtp_server", L"smtp_username", L"smtp_password", L"initial_delay"};

std::wstring section_name(int i) {
    wchar_t name[32];
    std::swprintf(name, 32, L"program_%04d.exe", i);
    return name;
}

std::wstring make_ini(int sections) {
    std::wstring text =
        L"; watchdog configuration\r\n[tolvarn]\r\nsmtp_server=mail.example.com\r\nsmtp_username=watch\r\n"
        L"smtp_password=secret\r\ninitial_delay=0\r\n";
    for (int i = 0; i < sections; ++i) {
        const std::wstring name = section_name(i);
        text += L"\r\n[" + name + L"]\r\n";
        text += L"interval=10\r\n";
        text += L"call=C:\\Programs\\" + name + L" -restart\r\n";
        text += L"call=C:\\Tools\\notify.exe " + name + L"\r\n";
        text += L"mail_from=watchdog@example.com\r\n";
        text += L"mail_to=ops@example.com, admin@example.com\r\n";
        text += L"mail_subject=" + name + L" restarted\r\n";
        text += L"mail_body=The program " + name + L" was started again.\r\n";
    }
    return text;
}

std::string encode(const std::wstring& text, int encoding) {
    if (encoding == 2) {
        std::string out("\xFF\xFE", 2);
        out.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        return out;
    }
    const std::string body = bench::utf8(text);  // the text is ASCII: the same bytes in ANSI
    return encoding == 1 ? "\xEF\xBB\xBF" + body : body;
}

// What load_config_file reads, through the system's profile functions.
std::size_t profile_read(const std::wstring& path) {
    std::vector<wchar_t> buffer(1 << 20);
    std::size_t found = 0;
    for (const wchar_t* key : global_keys)
        found += ::GetPrivateProfileStringW(L"tolvarn", key, L"", buffer.data(), 4096, path.c_str());
    const DWORD n = ::GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    std::vector<std::wstring> names;
    for (const wchar_t* p = buffer.data(); p < buffer.data() + n && *p; p += names.back().size() + 1) names.emplace_back(p);
    std::vector<wchar_t> value(4096);
    for (const std::wstring& name : names) {
        if (name == L"tolvarn") continue;
        for (const wchar_t* key : once_keys)
            found += ::GetPrivateProfileStringW(name.c_str(), key, L"", value.data(), 4096, path.c_str());
        found += ::GetPrivateProfileSectionW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    }
    return found + names.size();
}

// The file I/O that load_config_file cannot avoid: one open per lookup (4 global keys, the
// section list, 4 keys and the pairs of every section), each reading 4,096-byte blocks up to the
// end of the section it looks for, as the INI class stops at its match.
std::size_t io_floor(const std::wstring& path, const std::vector<std::int64_t>& section_ends, std::int64_t file_size) {
    std::vector<char> block(4096);
    std::size_t total = 0;
    auto scan = [&](std::int64_t up_to) {
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        DWORD got = 0;
        std::int64_t done = 0;
        while (done < up_to && ::ReadFile(h, block.data(), 4096, &got, nullptr) && got > 0) done += got;
        total += static_cast<std::size_t>(done);
        ::CloseHandle(h);
    };
    for (int i = 0; i < 4; ++i) scan(section_ends.empty() ? file_size : section_ends[0]);
    scan(file_size);
    for (std::size_t s = 1; s < section_ends.size(); ++s)
        for (int i = 0; i < 5; ++i) scan(section_ends[s]);
    return total;
}

// The opens and closes alone of the lookups above (a read that must open the file pays at least this).
double opens_alone(const std::wstring& path, std::size_t count) {
    const double t0 = bench::now_seconds();
    for (std::size_t i = 0; i < count; ++i) {
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
    return bench::now_seconds() - t0;
}

// Byte offsets behind each section of the encoded file ([tolvarn] first).
std::vector<std::int64_t> section_ends(const std::string& bytes, int encoding) {
    std::vector<std::int64_t> ends;
    const std::size_t unit = encoding == 2 ? 2 : 1;
    for (std::size_t i = unit; i < bytes.size(); i += unit)
        if (bytes[i] == '[' && (unit == 1 || bytes[i + 1] == 0)) ends.push_back(static_cast<std::int64_t>(i));
    ends.push_back(static_cast<std::int64_t>(bytes.size()));
    return ends;
}

struct timing {
    double ours = 1e30, profile = 1e30, floor = 1e30;
    std::size_t watches = 0;
};

timing measure(const std::wstring& path, const std::string& bytes, int encoding, int rounds) {
    timing t;
    const std::vector<std::int64_t> ends = section_ends(bytes, encoding);
    for (int r = 0; r < rounds; ++r) {
        const double f0 = bench::now_seconds();
        io_floor(path, ends, static_cast<std::int64_t>(bytes.size()));
        t.floor = std::min(t.floor, bench::now_seconds() - f0);
        tolvarn::app_config_record config;
        double t0 = bench::now_seconds();
        tolvarn::load_config_file(config, path);
        t.ours = std::min(t.ours, bench::now_seconds() - t0);
        t.watches = config.watches.size();
        t0 = bench::now_seconds();
        const std::size_t found = profile_read(path);
        t.profile = std::min(t.profile, bench::now_seconds() - t0);
        if (found == 0) std::printf("  (the profile functions read nothing)\n");
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int largest = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::wstring dir = bench::make_temp_dir(L"config");
    if (dir.empty()) return 1;
    const char* const encodings[] = {"ANSI", "UTF-8", "UTF-16LE"};
    const std::wstring path = dir + L"tolvarn.ini";

    std::printf("configuration scale, best of %d rounds (load_config_file vs GetPrivateProfile*W, same keys)\n", rounds);
    int status = 0;
    for (int enc = 0; enc < 3; ++enc) {
        double previous = 0;
        for (int sections = 10; sections <= largest; sections *= 10) {
            const std::string bytes = encode(make_ini(sections), enc);
            if (!bench::write_file(path, bytes)) return 1;
            const timing t = measure(path, bytes, enc, rounds);
            std::printf("  %-8s %5d sections  load_config_file %8.1f ms  profile API %8.1f ms  ratio %5.2f  I/O floor %7.1f ms",
                        encodings[enc], sections, 1e3 * t.ours, 1e3 * t.profile, t.ours / t.profile, 1e3 * t.floor);
            if (previous > 0) std::printf("  growth x%.1f", t.ours / previous);
            std::printf("%s\n", t.watches == static_cast<std::size_t>(sections) ? "" : "  WRONG WATCH COUNT");
            if (t.watches != static_cast<std::size_t>(sections)) status = 2;
            if (sections == 1000) {
                std::printf("    the %d opens alone: %.1f ms\n", 5 * sections + 5, 1e3 * opens_alone(path, 5 * sections + 5));
                std::printf("    goal 1,000 sections <= 1 s: %.3f s, %s\n", t.ours, t.ours <= 1.0 ? "met" : "MISSED");
                std::printf("    goal <= 1.5 x the I/O floor: %.2f x, %s\n", t.ours / t.floor, t.ours <= 1.5 * t.floor ? "met" : "MISSED");
                std::printf("    goal growth 100 -> 1,000 sections <= 12 x: %.1f x, %s\n", t.ours / previous,
                            t.ours <= 12 * previous ? "met" : "MISSED");
            }
            previous = t.ours;
        }
    }
    bench::remove_dir(dir);
    return status;
}
