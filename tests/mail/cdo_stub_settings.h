// Test side of the CDO stand-in: what a test asks of it. The stand-in reads, at every call, the
// environment variables below, or (for a setting whose variable is unset or empty) the line of
// the same name in `cdo_stub.cfg` beside cdo_stub.dll. The file reaches processes that do not
// inherit the test's environment, such as the watchdog running as a service. Both are shared
// state: take the ctest lock "cdo_registry" (see cdo_stub_registry.h).
#pragma once

#include "mail/cdo_stub_registry.h"

#include <windows.h>

#include <string>

namespace cdo_stub {

// Path of the record file (see cdo_stub_record.h); nothing is recorded without it. In the file a
// relative path is taken relative to the DLL's folder.
extern const wchar_t env_record[];         // TOLVARN_CDO_STUB_LOG
// Faults: "key=result" entries separated by commas, semicolons or white space. A key is
// "Interface::method" as the record names calls (IMessage::Send, Fields::get_Item,
// Message::CreateInstance, ...) or a bare method name, which matches it on every interface; the
// whole name wins over a bare one. The result is hexadecimal with "0x" or decimal; 0 means no
// fault. A failed call does nothing else, sets its out-pointer to null and records the result.
// Example: "Send=0x80040211, IMessage::put_To=0x80070057".
extern const wchar_t env_fail[];           // TOLVARN_CDO_STUB_FAIL
// Milliseconds that IMessage::Send waits after recording its line (decimal).
extern const wchar_t env_send_delay_ms[];  // TOLVARN_CDO_STUB_SEND_DELAY_MS

struct settings {
    std::wstring record_path;
    std::wstring fail;
    unsigned long send_delay_ms = 0;
};

// `cdo_stub.cfg` beside the given DLL.
std::wstring config_path(const std::wstring& dll_path = default_dll_path());
// Writes the file (UTF-8, one KEY=VALUE line per non-empty setting). False when it cannot.
bool write_config(const settings& s, const std::wstring& path = config_path());
// Deletes the file; a missing file counts as success.
bool remove_config(const std::wstring& path = config_path());

// Writes the file on construction, deletes it on destruction.
class scoped_config {
public:
    explicit scoped_config(const settings& s, const std::wstring& path = config_path());
    ~scoped_config();
    scoped_config(const scoped_config&) = delete;
    scoped_config& operator=(const scoped_config&) = delete;

    bool ok() const noexcept { return ok_; }

private:
    std::wstring path_;
    bool ok_;
};

// Sets one environment variable of this process (an empty value removes it) and restores the
// previous state on destruction. Child processes started meanwhile inherit it.
class scoped_env_var {
public:
    scoped_env_var(const wchar_t* name, const std::wstring& value);
    ~scoped_env_var();
    scoped_env_var(const scoped_env_var&) = delete;
    scoped_env_var& operator=(const scoped_env_var&) = delete;

private:
    std::wstring name_;
    std::wstring old_value_;
    bool had_value_;
};

// The three variables at once (delay 0 removes its variable).
class scoped_environment {
public:
    explicit scoped_environment(const settings& s);

private:
    scoped_env_var record_;
    scoped_env_var fail_;
    scoped_env_var delay_;
};

}  // namespace cdo_stub
