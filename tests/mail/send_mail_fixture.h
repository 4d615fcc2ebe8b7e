// Test support for the mail job: a fixture that registers the recording CDO stand-in, sends
// through it in this process, and reads back what the stand-in recorded and what was logged.
#pragma once

#include "cl/trace/lined_trace.h"
#include "mail/cdo_stub_record.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace mail_test {

extern const std::wstring config_ns;  // the configuration fields' namespace
extern const std::wstring date_field;
extern const std::wstring disposition_field;
extern const std::wstring type_field;
// VARIANT types as the record writes them.
extern const std::wstring vt_i4, vt_date, vt_bstr, vt_byte_array;

// Collects the lines written to the main trace list. Added once and never destroyed: the list
// keeps its pointer until the process ends.
class log_collector : public cl::lined_trace {
public:
    static log_collector& instance();
    // The lines collected since the last call, without their line feeds.
    std::vector<std::string> take();

protected:
    void output_line(const char* line) override;

private:
    std::vector<std::string> lines_;
};

std::wstring make_temp_folder();
void remove_tree(const std::wstring& folder);
bool write_file(const std::wstring& path, const std::vector<unsigned char>& bytes);
// `count` bytes of a pattern that does not repeat every 256 bytes.
std::vector<unsigned char> pattern_bytes(std::size_t count);
std::string ascii(const std::wstring& text);
std::wstring hex_of(const std::vector<unsigned char>& bytes);
// The local time now as a VARIANT date.
double local_now();

// The stand-in objects alive in this process (0 when its DLL is not loaded).
long live_objects();

// A recorded call without process and serial. An expected argument "*" matches anything.
struct call_line {
    std::wstring object;
    std::wstring call;
    std::vector<std::wstring> args;
    HRESULT result = S_OK;
};
bool operator==(const call_line& a, const call_line& b);
void PrintTo(const call_line& c, std::ostream* os);
// Appends the three calls of one field write: get_Item, put_Value, Update.
void field_write(std::vector<call_line>& lines, const std::wstring& object, const std::wstring& name,
                 const std::wstring& type, const std::wstring& value);

// The nine inputs of send_mail, with a plain valid message as the default.
struct mail {
    std::wstring server = L"smtp.example.com:2525";
    std::wstring username;
    std::wstring password;
    std::wstring from = L"Watch <watch@example.org>";
    std::vector<std::wstring> to = {L"ops@example.org"};
    std::vector<std::wstring> cc;
    std::wstring subject;
    std::wstring body;
    std::vector<std::wstring> attachments;
};

// A fresh folder, the stand-in registered, COM initialised; all undone at the end.
class SendMail : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sends with the stand-in recording (and failing `fail`), then checks that every object it
    // handed out has been released.
    void send_recorded(const mail& m, const std::wstring& fail = std::wstring());

    // This process's calls, without the module's own lines.
    std::vector<cdo_stub::entry> entries() const;
    std::vector<call_line> lines() const;
    std::vector<cdo_stub::entry> calls(const std::wstring& call, const std::wstring& object = std::wstring()) const;
    // The first argument of each call of `call`, in order.
    std::vector<std::wstring> values(const std::wstring& call) const;
    // Name, type and value of each field written on `object`, in order.
    std::vector<std::vector<std::wstring>> field_values(const std::wstring& object) const;
    bool sent() const { return !calls(L"IMessage::Send").empty(); }

    // Writes a file of the test folder; answers its path.
    std::wstring file(const std::wstring& name, const std::vector<unsigned char>& bytes) const;

    std::wstring folder_;
    std::wstring record_;
    bool com_ = false;
};

}  // namespace mail_test
