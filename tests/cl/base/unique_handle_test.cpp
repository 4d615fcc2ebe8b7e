#include "cl/base/unique_handle.h"

#include <gtest/gtest.h>

TEST(UniqueHandle, ClosesOnceAndKeepsTheLastError) {
    const HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    cl::unique_kernel_handle h(raw), moved(std::move(h)), bogus(reinterpret_cast<HANDLE>(0x7FFC));  // its close fails
    ::SetLastError(1234);
    moved.reset();
    bogus.reset();
    EXPECT_EQ(::GetLastError(), 1234u);
    EXPECT_TRUE(!h && !::CloseHandle(raw));  // closed once, by the new owner
}
