#include "cl/sysinfo/sysinfo.h"

#include <gtest/gtest.h>

TEST(Sysinfo, DescribesThisSystem) {
    EXPECT_TRUE(cl::sysinfo().xp_or_later && cl::is_xp_or_later(2, 5, 1) && cl::is_xp_or_later(1, 5, 1));
    EXPECT_FALSE(cl::is_xp_or_later(2, 5, 0) || cl::is_xp_or_later(0, 10, 0));
    EXPECT_EQ(cl::sysinfo().version_code, cl::sysinfo().major * 100 + cl::sysinfo().minor);
    EXPECT_LT(cl::sysinfo().build, 0x10000000u);  // the flag bits of the build number masked off
}
