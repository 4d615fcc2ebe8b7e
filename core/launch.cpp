#include "core/launch.h"

#include "cl/base/unique_handle.h"
#include "cl/errtext/error_text.h"
#include "cl/format/format.h"
#include "cl/trace/trace.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace tolvarn {

void call_program(const std::wstring& command_line, cl::unique_kernel_handle* keep) {
    // CreateProcessW may write into its command-line buffer, so it gets a private, terminated copy.
    std::vector<wchar_t> buffer(command_line.begin(), command_line.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    static_assert(sizeof(STARTUPINFOW) == 104 || sizeof(void*) != 8, "STARTUPINFOW layout");
    PROCESS_INFORMATION info = {};

    cl::trace_write(&cl::g_trace_out, (cl::wformat(L"Calling %s\n") % command_line).str());
    const BOOL started = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &info);
    if (started) {
        // Destroyed in reverse order: the thread handle is closed first, then the process handle.
        cl::unique_kernel_handle process(info.hProcess);
        cl::unique_kernel_handle thread(info.hThread);
        if (keep != nullptr) *keep = std::move(process);
        return;
    }
    const DWORD error = ::GetLastError();
    cl::trace_write(&cl::g_trace_out, (cl::wformat(L"CreateProcess failed with error code %?: %?\n") % error %
                                       cl::error_text(error, cl::text_win32))
                                          .str());
}

}  // namespace tolvarn
