#include "call_record.h"

#include "record_text.h"

#include "cl/base/unique_handle.h"

#include <cstdio>

namespace stub {

call_record::call_record(unsigned serial, const std::wstring& object, const std::wstring& call) noexcept
    : settings_(stub_settings::load()), serial_(serial) {
    try {
        object_ = object;
        call_ = call;
    } catch (...) {
        // Out of memory: the line, if any, goes out with empty names.
    }
    fault_ = settings_.fault_for(call);
}

HRESULT call_record::finish(HRESULT result, const std::vector<std::wstring>& args) noexcept {
    if (settings_.record_path().empty()) return result;
    try {
        char head[48];
        std::snprintf(head, sizeof head, "%lu\t%u\t", static_cast<unsigned long>(::GetCurrentProcessId()), serial_);
        std::string line = head;
        append_escaped(line, object_.data(), object_.size());
        line += '\t';
        append_escaped(line, call_.data(), call_.size());
        line += '\t';
        std::wstring hr = hresult_text(result);
        append_escaped(line, hr.data(), hr.size());
        for (const std::wstring& arg : args) {
            line += '\t';
            append_escaped(line, arg.data(), arg.size());
        }
        line += '\n';
        append_line(settings_.record_path(), line);
    } catch (...) {
        // Out of memory: the line is lost, the call's result stands.
    }
    return result;
}

void append_line(const std::wstring& path, const std::string& line) noexcept {
    // A reader that opened the file without sharing writes holds it only briefly.
    for (int attempt = 0; attempt < 100; ++attempt) {
        cl::unique_file_handle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            return;
        }
        if (::GetLastError() != ERROR_SHARING_VIOLATION) return;
        ::Sleep(10);
    }
}

}  // namespace stub
