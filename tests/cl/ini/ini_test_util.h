// Test support for cl::ini_file: a fresh folder per test, raw file access that bypasses the class
// under test, text in each encoding as bytes, and a sink that collects what goes to
// cl::g_trace_err.
#pragma once

#include "cl/file/uni_file.h"
#include "cl/trace/lined_trace.h"
#include "cl/trace/trace.h"
#include "support/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace ini_test {

// Every test works in its own new folder, removed with its files afterwards.
class folder_test : public test_support::folder_test {
protected:
    folder_test() : test_support::folder_test(L"cl_ini_test_") {}
};

using test_support::exists;
using test_support::read_file;
using test_support::write_file;

inline const char* encoding_name(cl::uni_file::encoding enc) {
    static const char* const names[] = {"ansi", "utf8", "utf16le", "utf16be", "utf32le", "utf32be"};
    return enc >= 0 && enc <= 5 ? names[enc] : "?";
}

// Text as the bytes of a file in `enc`, with the byte-order mark when `bom`. ANSI is the thread's
// code page.
inline std::string encode(const std::wstring& text, cl::uni_file::encoding enc, bool bom = true) {
    std::string out;
    auto code_page = [&](UINT cp) {
        if (text.empty()) return;
        const int n = ::WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                            nullptr, nullptr);
        std::string bytes(static_cast<size_t>(n), '\0');
        ::WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
        out += bytes;
    };
    auto put32 = [&](uint32_t code, bool big) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(code >> (8 * (big ? 3 - i : i))));
    };
    switch (enc) {
    case cl::uni_file::ansi:
        code_page(CP_THREAD_ACP);
        break;
    case cl::uni_file::utf8:
        if (bom) out = "\xEF\xBB\xBF";
        code_page(CP_UTF8);
        break;
    case cl::uni_file::utf16le:
    case cl::uni_file::utf16be: {
        const bool big = enc == cl::uni_file::utf16be;
        if (bom) out = big ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
        for (wchar_t ch : text) {
            const auto unit = static_cast<uint16_t>(ch);
            out.push_back(static_cast<char>(big ? unit >> 8 : unit & 0xFF));
            out.push_back(static_cast<char>(big ? unit & 0xFF : unit >> 8));
        }
        break;
    }
    case cl::uni_file::utf32le:
    case cl::uni_file::utf32be: {
        const bool big = enc == cl::uni_file::utf32be;
        if (bom) put32(0xFEFF, big);
        for (size_t i = 0; i < text.size(); ++i) {
            uint32_t code = static_cast<uint16_t>(text[i]);
            if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
                code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
            }
            put32(code, big);
        }
        break;
    }
    }
    return out;
}

// A sink on cl::g_trace_err that keeps the lines written while a capture runs. The trace lists
// offer no removal, so the one sink is created on first use, added once and never destroyed; while
// no capture runs it drops everything.
class error_capture : public cl::lined_trace {
public:
    static error_capture& instance() {
        static error_capture* const sink = [] {
            auto* created = new error_capture;
            cl::trace_add(&cl::g_trace_err, created);
            return created;
        }();
        return *sink;
    }
    void start() {
        std::lock_guard<std::mutex> hold(lock_);
        lines_.clear();
        active_ = true;
    }
    std::vector<std::string> stop() {
        std::lock_guard<std::mutex> hold(lock_);
        active_ = false;
        std::vector<std::string> lines;
        lines.swap(lines_);
        return lines;
    }

protected:
    void output_line(const char* line) override {
        std::lock_guard<std::mutex> hold(lock_);
        if (active_) lines_.push_back(line);
    }

private:
    error_capture() = default;

    std::mutex lock_;
    std::vector<std::string> lines_;
    bool active_ = false;
};

// The open error line for `path` and `code` as the sink receives it (UTF-8, line feed at the end).
inline std::string open_error_line(const std::wstring& path, unsigned code) {
    return "file '" + cl::trace_base::to_utf8(path.data(), path.size()) + "' open error " + std::to_string(code) +
           "\n";
}

}  // namespace ini_test
