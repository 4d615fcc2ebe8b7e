// Test support for the file classes: a fresh temporary folder per test and raw file access that
// bypasses the classes under test.
#pragma once

#include "support/test_files.h"

#include <windows.h>

#include <string>

namespace file_test {

// Every test works in its own new folder, removed with its files afterwards.
class folder_test : public test_support::folder_test {
protected:
    folder_test() : test_support::folder_test(L"cl_file_test_") {}
};

using test_support::read_file;
using test_support::write_file;

// One byte as the thread's ANSI code page reads it.
inline std::wstring widen_byte(char byte) {
    wchar_t out[4];
    const int n = ::MultiByteToWideChar(CP_THREAD_ACP, MB_PRECOMPOSED, &byte, 1, out, 4);
    return std::wstring(out, n > 0 ? n : 0);
}

using test_support::exists;

}  // namespace file_test
