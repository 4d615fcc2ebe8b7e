// The global trace in a GUI program: no console output, and the exit routine writes the log.
#include "trace_test_util.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring helper_path() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"cl_trace_gui_helper.exe";
}

TEST(GuiProgram, WritesTheLogAtExitAndNothingToTheConsole) {
    trace_test::temp_dir dir;
    const std::wstring log = dir.file(L"gui.log");
    const std::wstring out = dir.file(L"out.txt");

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    const HANDLE out_file = ::CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out_file, INVALID_HANDLE_VALUE);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out_file;
    si.hStdError = out_file;
    PROCESS_INFORMATION pi = {};
    std::wstring command = L"\"" + helper_path() + L"\" \"" + log + L"\"";
    const BOOL started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    ::CloseHandle(out_file);
    ASSERT_TRUE(started) << "error " << ::GetLastError();
    EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);

    EXPECT_EQ(trace_test::read_file(out), "");
    const std::string text = trace_test::read_file(log);
    const std::size_t separator = text.find(std::string(64, '-') + "\r\n");
    const std::size_t line = text.find(" gui helper line\r\n");
    const std::size_t error = text.find(" gui helper error \xC3\xA9\r\n");
    EXPECT_NE(separator, std::string::npos) << text;
    EXPECT_NE(line, std::string::npos) << text;
    EXPECT_NE(error, std::string::npos) << text;
    EXPECT_LT(separator, line);
    EXPECT_LT(line, error);
}

}  // namespace
