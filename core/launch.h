// Starting a configured command line when a watched program is gone.
#pragma once

#include <string>

namespace tolvarn {

// Starts `command_line` with CreateProcessW and does not wait for it; both handles are closed at
// once. A failed start is logged with its Windows error code and text; nothing is returned.
void call_program(const std::wstring& command_line);

}  // namespace tolvarn
