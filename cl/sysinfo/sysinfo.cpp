#include "cl/sysinfo/sysinfo.h"

namespace cl {
namespace {

using rtl_get_nt_version_numbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);

// GetVersionExW lies about the version to programs without a compatibility manifest (8.1 and
// later report 6.2); NTDLL's undocumented RtlGetNtVersionNumbers does not, so it is used when
// present. Its build number carries flags in the top four bits (0xF0000000 on free builds).
bool nt_version_numbers(unsigned& major, unsigned& minor, unsigned& build) {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return false;
    auto get = reinterpret_cast<rtl_get_nt_version_numbers>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
    if (get == nullptr) return false;
    DWORD ma = 0, mi = 0, bu = 0;
    get(&ma, &mi, &bu);
    major = ma;
    minor = mi;
    build = bu & 0x0FFFFFFFu;
    return true;
}

system_info identify() {
    system_info info;

    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4996)  // GetVersionExW is deprecated, and needed for the platform id
#endif
    BOOL have_version = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
#ifdef _MSC_VER
#pragma warning(pop)
#endif
    if (have_version) {
        info.major = version.dwMajorVersion;
        info.minor = version.dwMinorVersion;
        info.build = version.dwBuildNumber;
        info.platform_id = version.dwPlatformId;
        info.service_pack = version.wServicePackMajor;
        info.suite_mask = version.wSuiteMask;
        info.product_type = version.wProductType;
    }
    nt_version_numbers(info.major, info.minor, info.build);
    info.version_code = info.major * 100 + info.minor;
    info.xp_or_later = is_xp_or_later(info.platform_id, info.major, info.minor);

    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    info.processor_count = system.dwNumberOfProcessors;
    info.language = ::GetUserDefaultUILanguage();
    return info;
}

// Identifies the system while static objects are built, so that the answer is ready before
// the entry runs and no thread ever races to compute it.
const system_info& g_identified_at_start = sysinfo();

}  // namespace

const system_info& sysinfo() {
    static const system_info info = identify();
    return info;
}

bool is_xp_or_later(unsigned platform_id, unsigned major, unsigned minor) {
    return (platform_id == VER_PLATFORM_WIN32_WINDOWS || platform_id == VER_PLATFORM_WIN32_NT) &&
           major * 100 + minor >= 501;
}

}  // namespace cl
