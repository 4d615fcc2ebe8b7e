// Test side of the CDO stand-in (tests/mail/cdo_stub): registers cdo_stub.dll as the in-process
// server of the CDO Message and Configuration classes, and removes it again.
//
// The registration lives in HKEY_CLASSES_ROOT, so it is shared by every process of the machine
// (every test of the Wine prefix): tests that register, unregister or use the stand-in take the
// ctest resource lock "cdo_registry". Without the registration, CoCreateInstance of either class
// fails with REGDB_E_CLASSNOTREG (0x80040154), as on a machine without CDO.
#pragma once

#include <windows.h>

#include <string>

namespace cdo_stub {

// The class ids, in registry form.
extern const wchar_t message_clsid[];        // {CD000001-8B95-11D1-82DB-00C04FB1625D}
extern const wchar_t configuration_clsid[];  // {CD000002-8B95-11D1-82DB-00C04FB1625D}

// The folder of the running executable, with a trailing backslash.
std::wstring executable_directory();
// cdo_stub.dll beside the running executable (the build puts it there).
std::wstring default_dll_path();

// Writes HKCR\CLSID\{class}\InprocServer32 for both classes: the default value is `dll_path`
// (made absolute), ThreadingModel is "Both". Returns ERROR_SUCCESS or the registry error.
LSTATUS register_server(const std::wstring& dll_path = default_dll_path());
// Deletes the keys of both classes; keys that are already gone count as success.
LSTATUS unregister_server();

// Registers on construction and unregisters on destruction.
class registration {
public:
    explicit registration(const std::wstring& dll_path = default_dll_path());
    ~registration();
    registration(const registration&) = delete;
    registration& operator=(const registration&) = delete;

    // ERROR_SUCCESS when both classes were registered.
    LSTATUS status() const noexcept { return status_; }

private:
    LSTATUS status_;
};

}  // namespace cdo_stub
