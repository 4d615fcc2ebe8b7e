// Test side of the CDO stand-in: reads back the record it writes. The line format is described
// in tests/mail/cdo_stub/README.md: per call one line of TAB-separated fields
//   pid  serial  object  call  result  [arg ...]
// in UTF-8 with backslash escapes ("\\", "\t", "\n", "\r", "\xHH", "\uHHHH").
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace cdo_stub {

struct entry {
    unsigned long pid = 0;      // process that made the call
    unsigned serial = 0;        // message or configuration number in that process; 0: module lines
    std::wstring object;        // "message", "configuration", "message.attachment1", "stub", ...
    std::wstring call;          // "IMessage::put_To", "Field::put_Value", "live-objects", ...
    HRESULT result = S_OK;      // what the stand-in returned
    std::vector<std::wstring> args;

    // Argument `i`, or an empty string when there are fewer.
    std::wstring arg(size_t i) const { return i < args.size() ? args[i] : std::wstring(); }
};

// All well-formed lines of the record file, in order; empty when the file is missing. A line
// with fewer than five fields or a bad number is skipped.
std::vector<entry> read_record(const std::wstring& path);
// Parses one line (without its "\n"); false when it is malformed.
bool parse_line(const std::string& line, entry& out);

// The entries with this call name (and this object, when given).
std::vector<entry> select(const std::vector<entry>& entries, const std::wstring& call,
                          const std::wstring& object = std::wstring());
// True when, among the lines of process `pid`, a "live-objects" line (the last stand-in object
// of the process was released) follows the last line of `call`: whoever made that call released
// everything by then.
bool released_after(const std::vector<entry>& entries, unsigned long pid,
                    const std::wstring& call = L"IMessage::Send");
// The bytes of a hex text as recorded for byte arrays; empty when malformed.
std::vector<unsigned char> hex_bytes(const std::wstring& hex);

// The entry as one readable line, for failure messages (gtest uses PrintTo).
std::string to_string(const entry& e);
void PrintTo(const entry& e, std::ostream* os);

}  // namespace cdo_stub
