// The process liveness probe: the executable file names of all running processes.
//
// Takes a fresh Tool Help snapshot at every call; shares nothing, safe on any thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tolvarn {

// Empties `list`, then appends the executable file name (szExeFile, without directory) of
// every process of a new snapshot, in snapshot order, duplicates kept. False only when no
// snapshot could be taken; a snapshot whose first record cannot be read gives true and an
// empty list. With `ids`, it is filled alike with the process id of each element of `list`.
bool get_process_list(std::vector<std::wstring>& list, std::vector<DWORD>* ids = nullptr);

// The executable file name of the process that created this one, or the empty text when it is
// unknown (no snapshot, or the parent has ended and its id is gone).
std::wstring parent_process_name();

}  // namespace tolvarn
