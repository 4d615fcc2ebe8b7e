#include "mail/cdo_stub_settings.h"

#include "cl/base/unique_handle.h"

namespace cdo_stub {

const wchar_t env_record[] = L"TOLVARN_CDO_STUB_LOG";
const wchar_t env_fail[] = L"TOLVARN_CDO_STUB_FAIL";
const wchar_t env_send_delay_ms[] = L"TOLVARN_CDO_STUB_SEND_DELAY_MS";

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void add_line(std::string& out, const wchar_t* key, const std::wstring& value) {
    if (value.empty()) return;
    out += utf8(key) + "=" + utf8(value) + "\r\n";
}

}  // namespace

std::wstring config_path(const std::wstring& dll_path) {
    return dll_path.substr(0, dll_path.find_last_of(L"\\/") + 1) + L"cdo_stub.cfg";
}

bool write_config(const settings& s, const std::wstring& path) {
    std::string text;
    add_line(text, env_record, s.record_path);
    add_line(text, env_fail, s.fail);
    if (s.send_delay_ms != 0) add_line(text, env_send_delay_ms, std::to_wstring(s.send_delay_ms));
    cl::unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool remove_config(const std::wstring& path) {
    return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

scoped_config::scoped_config(const settings& s, const std::wstring& path) : path_(path), ok_(write_config(s, path)) {}

scoped_config::~scoped_config() { remove_config(path_); }

scoped_env_var::scoped_env_var(const wchar_t* name, const std::wstring& value) : name_(name), had_value_(false) {
    DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n != 0) {
        old_value_.resize(n);
        n = ::GetEnvironmentVariableW(name, &old_value_[0], n);
        old_value_.resize(n);
        had_value_ = true;
    }
    ::SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

scoped_env_var::~scoped_env_var() { ::SetEnvironmentVariableW(name_.c_str(), had_value_ ? old_value_.c_str() : nullptr); }

scoped_environment::scoped_environment(const settings& s)
    : record_(env_record, s.record_path),
      fail_(env_fail, s.fail),
      delay_(env_send_delay_ms, s.send_delay_ms != 0 ? std::to_wstring(s.send_delay_ms) : std::wstring()) {}

}  // namespace cdo_stub
