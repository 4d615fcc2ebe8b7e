#include "stub_settings.h"

#include "module_state.h"

#include "cl/base/unique_handle.h"

#include <cerrno>
#include <cwchar>

namespace stub {
namespace {

const wchar_t env_record[] = L"TOLVARN_CDO_STUB_LOG";
const wchar_t env_fail[] = L"TOLVARN_CDO_STUB_FAIL";
const wchar_t env_send_delay[] = L"TOLVARN_CDO_STUB_SEND_DELAY_MS";
const wchar_t config_name[] = L"cdo_stub.cfg";
const DWORD config_limit = 64 * 1024;

bool same_text(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring trim(const std::wstring& s) {
    const wchar_t* blanks = L" \t\r\n";
    std::wstring::size_type first = s.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

std::wstring environment(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        DWORD n = ::GetEnvironmentVariableW(name, &value[0], static_cast<DWORD>(value.size()));
        if (n == 0) return std::wstring();
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

bool is_absolute(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

// KEY=VALUE pairs of the configuration file; empty when it is missing, too large or unreadable.
std::vector<std::pair<std::wstring, std::wstring>> read_config(const std::wstring& path) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    cl::unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return pairs;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > config_limit || size.QuadPart == 0) return pairs;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr)) return pairs;
    bytes.resize(got);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (bytes.empty()) return pairs;
    int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return pairs;
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);

    std::wstring::size_type start = 0;
    while (start <= text.size()) {
        std::wstring::size_type end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == L'#' || line[0] == L';') continue;
        std::wstring::size_type eq = line.find(L'=');
        if (eq == std::wstring::npos) continue;
        pairs.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return pairs;
}

bool parse_hresult(const std::wstring& text, HRESULT& result) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    errno = 0;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        unsigned long long v = std::wcstoull(text.c_str() + 2, &end, 16);
        if (errno != 0 || *end != L'\0' || v > 0xFFFFFFFFull) return false;
        result = static_cast<HRESULT>(static_cast<unsigned long>(v));
        return true;
    }
    long long v = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || v < -2147483648LL || v > 0xFFFFFFFFLL) return false;
    result = static_cast<HRESULT>(static_cast<unsigned long>(v));
    return true;
}

bool parse_delay(const std::wstring& text, unsigned long& delay) {
    if (text.empty() || text[0] == L'-') return false;
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long long v = std::wcstoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || v > 0x7FFFFFFFull) return false;
    delay = static_cast<unsigned long>(v);
    return true;
}

}  // namespace

stub_settings stub_settings::load() noexcept {
    stub_settings s;
    try {
        std::wstring record, fail, delay;
        std::wstring directory = module_directory();
        if (!directory.empty()) {
            for (const auto& kv : read_config(directory + config_name)) {
                if (same_text(kv.first, env_record))
                    record = kv.second.empty() || is_absolute(kv.second) ? kv.second : directory + kv.second;
                else if (same_text(kv.first, env_fail))
                    fail = kv.second;
                else if (same_text(kv.first, env_send_delay))
                    delay = kv.second;
            }
        }
        std::wstring value = environment(env_record);
        if (!value.empty()) record = value;
        value = environment(env_fail);
        if (!value.empty()) fail = value;
        value = environment(env_send_delay);
        if (!value.empty()) delay = trim(value);

        s.record_path_ = record;
        s.parse_faults(fail);
        if (!parse_delay(delay, s.send_delay_ms_)) s.send_delay_ms_ = 0;
    } catch (...) {
        // Out of memory: run without record and faults rather than fail the caller.
        s = stub_settings();
    }
    return s;
}

void stub_settings::parse_faults(const std::wstring& list) {
    const wchar_t* separators = L",; \t\r\n";
    std::wstring::size_type start = 0;
    while ((start = list.find_first_not_of(separators, start)) != std::wstring::npos) {
        std::wstring::size_type end = list.find_first_of(separators, start);
        if (end == std::wstring::npos) end = list.size();
        std::wstring entry = list.substr(start, end - start);
        start = end;
        std::wstring::size_type eq = entry.find(L'=');
        HRESULT result = S_OK;
        if (eq == 0 || eq == std::wstring::npos || !parse_hresult(entry.substr(eq + 1), result)) continue;
        faults_.emplace_back(entry.substr(0, eq), result);
    }
}

HRESULT stub_settings::fault_for(const std::wstring& call) const noexcept {
    try {
        std::wstring::size_type colons = call.rfind(L"::");
        std::wstring method = colons == std::wstring::npos ? call : call.substr(colons + 2);
        const std::pair<std::wstring, HRESULT>* whole = nullptr;
        const std::pair<std::wstring, HRESULT>* bare = nullptr;
        for (const auto& f : faults_) {
            if (same_text(f.first, call))
                whole = &f;
            else if (same_text(f.first, method))
                bare = &f;
        }
        if (whole) return whole->second;
        if (bare) return bare->second;
    } catch (...) {
    }
    return S_OK;
}

}  // namespace stub
