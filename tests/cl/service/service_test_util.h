// Helpers of the service installer's tests: a sink that records what the installer writes to
// cl::g_trace_out, a temporary folder, the build folder; the manager calls are in scm_test_util.h.
#pragma once

#include "scm_test_util.h"
#include "cl/trace/trace.h"
#include "cl/trace/trace_base.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace service_test {

// Records every text written to cl::g_trace_out, split into lines without "\n".
class recording_sink : public cl::trace_base {
public:
    // The one sink of the test program, added to cl::g_trace_out on first use and never removed
    // (the list keeps a pointer to it until the process ends).
    static recording_sink& instance() {
        static recording_sink* sink = [] {
            auto* s = new recording_sink();
            cl::trace_add(&cl::g_trace_out, s);
            return s;
        }();
        return *sink;
    }
    void write(const char* text, bool) override {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ += text;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        text_.clear();
    }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        std::size_t pos = 0;
        for (std::size_t end; (end = text_.find('\n', pos)) != std::string::npos; pos = end + 1)
            out.push_back(text_.substr(pos, end - pos));
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// A fresh folder under the temporary path (name given a suffix, which may hold a space), removed
// with its files at destruction.
class temp_dir {
public:
    explicit temp_dir(const std::wstring& suffix = L"") {
        wchar_t base[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
        static LONG counter = 0;
        path_ = std::wstring(base, n) + L"cl_service_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(::GetTickCount()) + L"_" + std::to_wstring(::InterlockedIncrement(&counter)) +
                suffix + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~temp_dir() {
        WIN32_FIND_DATAW fd;
        const HANDLE h = ::FindFirstFileW((path_ + L"*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring full = path_ + name;
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ::RemoveDirectoryW(full.c_str());
                else ::DeleteFileW(full.c_str());
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    // The folder with a trailing backslash.
    const std::wstring& path() const { return path_; }
    std::wstring file(const wchar_t* name) const { return path_ + name; }

private:
    std::wstring path_;
};

// The folder of this test program (and of every program of the build), with a trailing backslash.
inline std::wstring build_dir() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

using scm_test::binary_path_of;
using scm_test::create_service;
using scm_test::description_of;
using scm_test::open_manager;
using scm_test::open_service;
using scm_test::remove_service;
using scm_test::service_exists;
using scm_test::state_of;
using scm_test::status_of;
using scm_test::wait_until;

}  // namespace service_test
