#include "core/process_probe.h"

#include "cl/base/unique_handle.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

namespace tolvarn {

#ifdef _WIN64
// Tool Help checks dwSize against its own record size; the wide record is 568 bytes on x64.
static_assert(sizeof(PROCESSENTRY32W) == 568, "unexpected PROCESSENTRY32W layout");
#endif

bool get_process_list(std::vector<std::wstring>& list, std::vector<DWORD>* ids) {
    list.clear();
    if (ids != nullptr) ids->clear();
    cl::unique_file_handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!::Process32FirstW(snapshot.get(), &entry)) return true;
    do {
        // Bounded by the array in case a record ever comes without its terminating zero.
        list.emplace_back(entry.szExeFile, ::wcsnlen(entry.szExeFile, MAX_PATH));
        if (ids != nullptr) ids->push_back(entry.th32ProcessID);
    } while (::Process32NextW(snapshot.get(), &entry));
    return true;
}

std::wstring parent_process_name() {
    cl::unique_file_handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return std::wstring();
    const DWORD self = ::GetCurrentProcessId();
    DWORD parent = 0;
    bool have_parent = false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            have_parent = true;
            break;
        }
    }
    if (!have_parent) return std::wstring();
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == parent) return std::wstring(entry.szExeFile, ::wcsnlen(entry.szExeFile, MAX_PATH));
    }
    return std::wstring();
}

}  // namespace tolvarn
