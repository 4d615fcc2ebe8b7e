// Starting a configured command line when a watched program is gone.
#pragma once

#include "cl/base/unique_handle.h"

#include <string>

namespace tolvarn {

// Starts `command_line` with CreateProcessW and does not wait for it; both handles are closed at
// once, except that the process handle goes to `keep` when it is given. A failed start is logged
// with its Windows error code and text (and leaves `keep` as it is); nothing is returned.
void call_program(const std::wstring& command_line, cl::unique_kernel_handle* keep = nullptr);

}  // namespace tolvarn
