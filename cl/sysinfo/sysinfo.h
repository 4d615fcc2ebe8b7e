// cl::system_info: what the program knows about the Windows it runs on, identified once at
// static initialisation and read-only afterwards (safe to read from any thread).
#pragma once

#include <windows.h>

namespace cl {

struct system_info {
    unsigned major = 0;          // version numbers: RtlGetNtVersionNumbers when NTDLL exports
    unsigned minor = 0;          // it (the true version, whatever the manifest says), else
    unsigned build = 0;          // GetVersionExW
    unsigned version_code = 0;   // major * 100 + minor (501 = Windows XP)
    unsigned platform_id = 0;    // GetVersionExW's dwPlatformId (2 = VER_PLATFORM_WIN32_NT)
    unsigned service_pack = 0;   // wServicePackMajor
    unsigned suite_mask = 0;     // edition words: wSuiteMask (VER_SUITE_...)
    unsigned product_type = 0;   //   and wProductType (VER_NT_WORKSTATION, ...)
    unsigned processor_count = 0;
    LANGID language = 0;         // GetUserDefaultUILanguage
    bool xp_or_later = false;    // the platform is Windows (id 1 or 2) at version 5.1 or later
};

// The system's description, identified at static initialisation (or at the first call,
// whichever comes first). Fields that cannot be read stay 0.
const system_info& sysinfo();

// The rule behind system_info::xp_or_later: platform id 1 or 2 and major*100+minor >= 501.
bool is_xp_or_later(unsigned platform_id, unsigned major, unsigned minor);

}  // namespace cl
