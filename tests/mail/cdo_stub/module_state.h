// Process-wide state of the stand-in DLL: its module handle, the counts of live objects, class
// factories and server locks (DllCanUnloadNow), and the serial numbers given to messages and
// configurations. All counters are interlocked; any thread may call.
#pragma once

#include <windows.h>

#include <string>

namespace stub {

// The DLL's module handle, set by DllMain.
HMODULE module_handle() noexcept;
void set_module_handle(HMODULE module) noexcept;
// The DLL's folder with a trailing backslash; empty if the module path cannot be read.
std::wstring module_directory();

// Called by every stand-in object's constructor and destructor; object_destroyed returns the
// number still alive after this one.
void object_created() noexcept;
long object_destroyed() noexcept;
long live_objects() noexcept;

void factory_created() noexcept;
void factory_destroyed() noexcept;
long live_factories() noexcept;

void lock_server(bool lock) noexcept;
long server_locks() noexcept;

// Serial numbers, counted per process from 1 in creation order.
unsigned next_message_serial() noexcept;
unsigned next_configuration_serial() noexcept;

}  // namespace stub
