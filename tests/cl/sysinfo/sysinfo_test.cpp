#include "cl/sysinfo/sysinfo.h"

#include <gtest/gtest.h>

namespace {

TEST(sysinfo, describes_this_system) {
    const cl::system_info& info = cl::sysinfo();
    EXPECT_TRUE(info.xp_or_later);
    EXPECT_EQ(info.platform_id, static_cast<unsigned>(VER_PLATFORM_WIN32_NT));
    EXPECT_GE(info.version_code, 501u);
    EXPECT_EQ(info.version_code, info.major * 100 + info.minor);
    EXPECT_LT(info.build, 0x10000000u);  // flag bits masked off
    EXPECT_GE(info.processor_count, 1u);
    EXPECT_EQ(info.language, ::GetUserDefaultUILanguage());
    // Identified once: every call returns the same object.
    EXPECT_EQ(&cl::sysinfo(), &info);
}

TEST(sysinfo, xp_rule) {
    struct row {
        unsigned platform, major, minor;
        bool expected;
    };
    const row rows[] = {
        {2, 5, 1, true},   {2, 5, 0, false},  {2, 5, 2, true},  {2, 6, 0, true},
        {2, 10, 0, true},  {2, 4, 99, false}, {1, 5, 1, true},  {1, 4, 90, false},
        {0, 10, 0, false}, {3, 10, 0, false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(cl::is_xp_or_later(r.platform, r.major, r.minor), r.expected)
            << r.platform << " " << r.major << "." << r.minor;
    }
}

}  // namespace
