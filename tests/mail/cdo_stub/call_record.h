// One recorded call: takes the settings of the moment, tells the caller whether a fault is
// injected for it, and appends its line to the record file when the call finishes.
//
// A line is written with one WriteFile on a file opened for appending, so the lines of several
// calls, threads or processes never interleave. Recording is best effort: a record that cannot be
// written never changes a call's result.
#pragma once

#include "stub_settings.h"

#include <windows.h>

#include <string>
#include <vector>

namespace stub {

class call_record {
public:
    // `serial` and `object` name the stand-in object; `call` is "Interface::method".
    call_record(unsigned serial, const std::wstring& object, const std::wstring& call) noexcept;

    // The injected result for this call, S_OK when none.
    HRESULT fault() const noexcept { return fault_; }
    // The injected result if any, else `result`.
    HRESULT outcome(HRESULT result) const noexcept { return fault_ != S_OK ? fault_ : result; }
    const stub_settings& settings() const noexcept { return settings_; }

    // Appends the line with `result` and `args`; returns `result`.
    HRESULT finish(HRESULT result, const std::vector<std::wstring>& args = {}) noexcept;

private:
    stub_settings settings_;
    unsigned serial_;
    std::wstring object_;
    std::wstring call_;
    HRESULT fault_ = S_OK;
};

// Appends one finished line (UTF-8, ending in "\n") to the file; best effort.
void append_line(const std::wstring& path, const std::string& line) noexcept;

}  // namespace stub
