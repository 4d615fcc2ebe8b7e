// Test support shared by every test program: temporary folders, raw file access that bypasses the
// classes under test, polling with a deadline, UTF-8 conversion and one sink that captures what
// reaches a global trace list. Header-only; needs nothing of the product but cl/trace for the sink.
#pragma once

#include "cl/trace/trace.h"
#include "cl/trace/trace_base.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ts {

inline std::string utf8(const std::wstring& text) { return cl::trace_base::to_utf8(text.data(), text.size()); }

inline std::wstring utf16(const std::string& text) {
    if (text.empty()) return std::wstring();
    std::wstring out(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                        static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// The folder holding the running test program (every program of the build lands there), with a
// trailing backslash.
inline std::wstring build_dir() {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// Polls `condition` every 20 ms until it holds or `deadline_ms` have passed; answers the last result.
inline bool wait_until(const std::function<bool()>& condition, DWORD deadline_ms = 30000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start > deadline_ms) return condition();
        ::Sleep(20);
    }
}

inline bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Creates or replaces a file with exactly these bytes; false when it cannot.
inline bool write_file(const std::wstring& path, const std::string& bytes) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const BOOL ok = bytes.empty() || ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(h);
    return ok && done == bytes.size();
}

// The bytes of a file as they are on disk, readable while others hold it open with any sharing
// that allows reading; "<missing>" when it cannot be opened.
inline std::string read_file(const std::wstring& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (::ReadFile(h, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    ::CloseHandle(h);
    return bytes;
}

// A fresh folder under the temporary path, removed with everything in it (read-only files and
// sub-folders included) at destruction. `suffix` is appended to its name and may hold a space.
class temp_dir {
public:
    explicit temp_dir(const std::wstring& suffix = L"") {
        wchar_t base[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
        static LONG counter = 0;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::wstring candidate = std::wstring(base, n) + L"tolvarn_test_" + std::to_wstring(::GetCurrentProcessId()) +
                                     L"_" + std::to_wstring(::InterlockedIncrement(&counter)) + suffix + L"\\";
            if (::CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~temp_dir() {
        if (!path_.empty()) remove_tree(path_);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    bool ok() const { return !path_.empty(); }
    // The folder with a trailing backslash, and a path inside it.
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + name; }

    static void remove_tree(const std::wstring& dir) {
        WIN32_FIND_DATAW data;
        const HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring full = dir + name;
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    remove_tree(full + L"\\");
                else
                    ::DeleteFileW(full.c_str());
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(dir.c_str());
    }

private:
    std::wstring path_;
};

// Fixture: every test works in a fresh temporary folder.
class folder_test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.ok()) << "no temporary folder"; }
    std::wstring path(const std::wstring& name) const { return dir_.file(name); }

    temp_dir dir_;
};

// Captures the text that reaches one global trace list. The lists keep plain pointers and offer
// no removal, so there is one capture per list, created on first use, added once and never
// destroyed; `clear` starts a new capture.
class capture : public cl::trace_base {
public:
    static capture& of(cl::trace_list* list) {
        static std::mutex guard;
        static std::vector<std::pair<cl::trace_list*, capture*>> all;
        std::lock_guard<std::mutex> hold(guard);
        for (auto& known : all)
            if (known.first == list) return *known.second;
        capture* created = new capture;
        cl::trace_add(list, created);
        all.emplace_back(list, created);
        return *created;
    }
    static capture& out() { return of(&cl::g_trace_out); }

    using cl::trace_base::write;
    void write(const char* text, bool) override {
        std::lock_guard<std::mutex> hold(lock_);
        text_ += text;
    }
    void clear() {
        std::lock_guard<std::mutex> hold(lock_);
        text_.clear();
    }
    std::string text() const {
        std::lock_guard<std::mutex> hold(lock_);
        return text_;
    }
    // The captured text split at "\n", without the line feeds; a last unterminated piece is kept.
    std::vector<std::string> lines() const {
        const std::string all = text();
        std::vector<std::string> out;
        std::size_t pos = 0;
        for (std::size_t end; (end = all.find('\n', pos)) != std::string::npos; pos = end + 1)
            out.push_back(all.substr(pos, end - pos));
        if (pos < all.size()) out.push_back(all.substr(pos));
        return out;
    }

private:
    capture() = default;

    mutable std::mutex lock_;
    std::string text_;
};

}  // namespace ts
