#include "mail/send_mail_fixture.h"

#include "cl/base/unique_handle.h"
#include "cl/trace/trace.h"
#include "mail/cdo_stub_registry.h"
#include "mail/cdo_stub_settings.h"
#include "mail/send_mail.h"

#include <objbase.h>

namespace mail_test {

const std::wstring config_ns = L"http://schemas.microsoft.com/cdo/configuration/";
const std::wstring date_field = L"urn:schemas:httpmail:date";
const std::wstring disposition_field = L"urn:schemas:mailheader:content-disposition";
const std::wstring type_field = L"urn:schemas:mailheader:content-type";
const std::wstring vt_i4 = L"3", vt_date = L"7", vt_bstr = L"8", vt_byte_array = L"8209";

log_collector& log_collector::instance() {
    static log_collector* collector = [] {
        auto* made = new log_collector;
        cl::trace_add(&cl::g_trace_out, made);
        return made;
    }();
    return *collector;
}

std::vector<std::string> log_collector::take() {
    cl::trace_flush(&cl::g_trace_out);
    std::vector<std::string> out;
    out.swap(lines_);
    return out;
}

void log_collector::output_line(const char* line) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    lines_.push_back(text);
}

std::wstring make_temp_folder() {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    const std::wstring folder = std::wstring(base) + L"tolvarn_mail_" + std::to_wstring(::GetCurrentProcessId()) +
                                L"_" + std::to_wstring(++counter) + L"\\";
    return ::CreateDirectoryW(folder.c_str(), nullptr) ? folder : std::wstring();
}

void remove_tree(const std::wstring& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(folder + name + L"\\");
            else
                ::DeleteFileW((folder + name).c_str());
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

bool write_file(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    cl::unique_file_handle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                         nullptr) &&
                             written == bytes.size());
}

std::vector<unsigned char> pattern_bytes(std::size_t count) {
    std::vector<unsigned char> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

std::string ascii(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::wstring hex_of(const std::vector<unsigned char>& bytes) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

double local_now() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    double date = 0;
    ::SystemTimeToVariantTime(&now, &date);
    return date;
}

long live_objects() {
    HMODULE dll = ::GetModuleHandleW(L"cdo_stub.dll");
    if (!dll) return 0;
    // Through void*: the function types differ by design.
    auto count = reinterpret_cast<long(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "cdo_stub_live_objects")));
    return count ? count() : -1;
}

bool operator==(const call_line& a, const call_line& b) {
    if (a.object != b.object || a.call != b.call || a.result != b.result || a.args.size() != b.args.size())
        return false;
    for (std::size_t i = 0; i < a.args.size(); ++i)
        if (a.args[i] != b.args[i] && a.args[i] != L"*" && b.args[i] != L"*") return false;
    return true;
}

void PrintTo(const call_line& c, std::ostream* os) {
    cdo_stub::entry e;
    e.object = c.object;
    e.call = c.call;
    e.result = c.result;
    e.args = c.args;
    *os << cdo_stub::to_string(e);
}

void field_write(std::vector<call_line>& lines, const std::wstring& object, const std::wstring& name,
                 const std::wstring& type, const std::wstring& value) {
    lines.push_back({object, L"Fields::get_Item", {vt_bstr, name}});
    lines.push_back({object, L"Field::put_Value", {name, type, value}});
    lines.push_back({object, L"Fields::Update", {}});
}

void SendMail::SetUp() {
    log_collector::instance().take();
    folder_ = make_temp_folder();
    ASSERT_FALSE(folder_.empty());
    record_ = folder_ + L"record.txt";
    ASSERT_EQ(ERROR_SUCCESS, cdo_stub::register_server());
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    com_ = true;
}

void SendMail::TearDown() {
    if (com_) {
        ::CoFreeUnusedLibraries();
        ::CoUninitialize();
    }
    cdo_stub::unregister_server();
    remove_tree(folder_);
}

void SendMail::send_recorded(const mail& m, const std::wstring& fail) {
    cdo_stub::settings s;
    s.record_path = record_;
    s.fail = fail;
    cdo_stub::scoped_environment env(s);
    tolvarn::send_mail(m.server, m.username, m.password, m.from, m.to, m.cc, m.subject, m.body, m.attachments);
    EXPECT_EQ(0, live_objects()) << "CDO objects left alive";
}

std::vector<cdo_stub::entry> SendMail::entries() const {
    std::vector<cdo_stub::entry> mine;
    for (const cdo_stub::entry& e : cdo_stub::read_record(record_))
        if (e.pid == ::GetCurrentProcessId() && e.object != L"stub") mine.push_back(e);
    return mine;
}

std::vector<call_line> SendMail::lines() const {
    std::vector<call_line> out;
    for (const cdo_stub::entry& e : entries()) out.push_back({e.object, e.call, e.args, e.result});
    return out;
}

std::vector<cdo_stub::entry> SendMail::calls(const std::wstring& call, const std::wstring& object) const {
    return cdo_stub::select(entries(), call, object);
}

std::vector<std::wstring> SendMail::values(const std::wstring& call) const {
    std::vector<std::wstring> out;
    for (const cdo_stub::entry& e : calls(call)) out.push_back(e.arg(0));
    return out;
}

std::vector<std::vector<std::wstring>> SendMail::field_values(const std::wstring& object) const {
    std::vector<std::vector<std::wstring>> out;
    for (const cdo_stub::entry& e : calls(L"Field::put_Value", object)) out.push_back(e.args);
    return out;
}

std::wstring SendMail::file(const std::wstring& name, const std::vector<unsigned char>& bytes) const {
    const std::wstring path = folder_ + name;
    EXPECT_TRUE(write_file(path, bytes)) << "cannot write the test file";
    return path;
}

}  // namespace mail_test
