#include "cl/base/unique_handle.h"

#include <gtest/gtest.h>

namespace {

TEST(unique_handle, closes_once_and_keeps_last_error) {
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        cl::unique_kernel_handle h(raw);
        EXPECT_TRUE(h);
        cl::unique_kernel_handle moved(std::move(h));
        EXPECT_FALSE(h);
        ::SetLastError(1234);
    }
    EXPECT_EQ(::GetLastError(), 1234u);
    // The handle is gone: a second close fails.
    EXPECT_FALSE(::CloseHandle(raw));
}

TEST(unique_handle, frees_bstr_and_resets) {
    cl::unique_bstr s(::SysAllocString(L"abc"));
    EXPECT_EQ(::SysStringLen(s.get()), 3u);
    s.reset(::SysAllocString(L"de"));
    EXPECT_EQ(::SysStringLen(s.get()), 2u);
    BSTR taken = s.release();
    EXPECT_FALSE(s);
    ::SysFreeString(taken);
}

}  // namespace
