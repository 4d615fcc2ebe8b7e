// The running executable's path and directory, where the configuration and the log live.
//
// Stateless; safe on any thread.
#pragma once

#include <functional>
#include <string>

namespace tolvarn {

// Full path of the running executable (GetModuleFileNameW); the buffer grows from 260
// characters by doubling until the path fits, so long paths are never cut. Empty when the
// call fails.
std::wstring module_file_name();

// The growth loop behind module_file_name, over any reader with GetModuleFileNameW's contract:
// `read(buffer, size)` returns the number of characters copied, 0 on failure, and `size` when
// the name was cut (terminated or not). Empty on failure, or when even a buffer longer than
// the longest Windows path (32767 characters) reads as too small.
std::wstring read_module_path(const std::function<unsigned long(wchar_t* buffer, unsigned long size)>& read);

// The directory of the running executable with a trailing backslash; empty when its path
// cannot be read (files are then looked for in the current directory).
std::wstring module_directory();

// `path` cut after its last backslash or colon (kept), with a backslash appended when the
// result is not empty and lacks one. A path with neither character gives the empty text.
std::wstring directory_part(const std::wstring& path);

}  // namespace tolvarn
