// What a test asks of the stand-in: where to record, which calls to fail, how long Send waits.
//
// Read afresh at every call, so a test can change them between calls. Each setting comes from
// the environment variable of its name when that is set and non-empty, else from the line of the
// same name in `cdo_stub.cfg` beside the DLL (UTF-8, KEY=VALUE lines, '#' or ';' comments), which
// reaches processes that do not inherit the test's environment (a service). A relative record
// path in the file is taken relative to the DLL's folder.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace stub {

class stub_settings {
public:
    // The current settings; anything unreadable or malformed counts as not set.
    static stub_settings load() noexcept;

    // Record file; empty: nothing is recorded.
    const std::wstring& record_path() const noexcept { return record_path_; }
    // Extra wait of IMessage::Send in milliseconds.
    unsigned long send_delay_ms() const noexcept { return send_delay_ms_; }
    // The result to return instead of doing `call` ("Interface::method"), or S_OK when none. An
    // entry naming the whole call wins over one naming only the method.
    HRESULT fault_for(const std::wstring& call) const noexcept;

    // Parses a fail list: entries "key=result" separated by commas, semicolons or white space;
    // results in hexadecimal with "0x" or in decimal (may be negative). Bad entries are skipped.
    void parse_faults(const std::wstring& list);

private:
    std::wstring record_path_;
    unsigned long send_delay_ms_ = 0;
    std::vector<std::pair<std::wstring, HRESULT>> faults_;
};

}  // namespace stub
