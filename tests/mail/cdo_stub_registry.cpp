#include "cdo_stub_registry.h"

#include "cl/base/unique_handle.h"

namespace cdo_stub {

const wchar_t message_clsid[] = L"{CD000001-8B95-11D1-82DB-00C04FB1625D}";
const wchar_t configuration_clsid[] = L"{CD000002-8B95-11D1-82DB-00C04FB1625D}";

namespace {

LSTATUS set_string(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS register_class(const wchar_t* clsid, const std::wstring& dll_path) {
    std::wstring subkey = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    cl::unique_reg_key key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = set_string(key.get(), nullptr, dll_path);
    if (status != ERROR_SUCCESS) return status;
    return set_string(key.get(), L"ThreadingModel", L"Both");
}

LSTATUS unregister_class(const wchar_t* clsid) {
    std::wstring subkey = std::wstring(L"CLSID\\") + clsid;
    LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

std::wstring full_path(const std::wstring& path) {
    DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

}  // namespace

std::wstring executable_directory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring default_dll_path() { return executable_directory() + L"cdo_stub.dll"; }

LSTATUS register_server(const std::wstring& dll_path) {
    std::wstring path = full_path(dll_path);
    LSTATUS status = register_class(message_clsid, path);
    if (status == ERROR_SUCCESS) status = register_class(configuration_clsid, path);
    return status;
}

LSTATUS unregister_server() {
    LSTATUS message_status = unregister_class(message_clsid);
    LSTATUS configuration_status = unregister_class(configuration_clsid);
    return message_status != ERROR_SUCCESS ? message_status : configuration_status;
}

registration::registration(const std::wstring& dll_path) : status_(register_server(dll_path)) {}

registration::~registration() { unregister_server(); }

}  // namespace cdo_stub
