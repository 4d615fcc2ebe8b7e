// Uniquely named temporary files.
//
// Names come from two process-wide linear congruential generators, seeded once at start-up from
// the local time, the tick count, the process id, the performance counter and the processor's
// time-stamp counter. The generators are not guarded: call these from one thread at a time.
#pragma once

#include <string>

namespace cl {

class file_hnd;

// The prefix, a fresh base-36 number and ".tmp"; the prefix may hold a folder.
std::wstring make_temp_name(const std::wstring& prefix);

// Creates a new file named by make_temp_name(prefix) through file.open (so a derived class's open
// applies) with `flags` plus create-new, delete-on-close and the temporary attribute, unshared.
// A name that exists already (error 80) makes it try the next one, up to 10,000 names; any other
// failure ends at once. On success the name goes to *name (when given). false on failure, with
// file.last_error() telling why.
bool create_temp_file(file_hnd& file, const std::wstring& prefix, unsigned flags,
                      std::wstring* name = nullptr);

}  // namespace cl
