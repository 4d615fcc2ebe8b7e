#include "module_state.h"

namespace stub {
namespace {

HMODULE g_module = nullptr;
volatile LONG g_objects = 0;
volatile LONG g_factories = 0;
volatile LONG g_locks = 0;
volatile LONG g_messages = 0;
volatile LONG g_configurations = 0;

}  // namespace

HMODULE module_handle() noexcept { return g_module; }
void set_module_handle(HMODULE module) noexcept { g_module = module; }

std::wstring module_directory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(g_module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::wstring::size_type slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void object_created() noexcept { ::InterlockedIncrement(&g_objects); }
long object_destroyed() noexcept { return ::InterlockedDecrement(&g_objects); }
long live_objects() noexcept { return ::InterlockedCompareExchange(&g_objects, 0, 0); }

void factory_created() noexcept { ::InterlockedIncrement(&g_factories); }
void factory_destroyed() noexcept { ::InterlockedDecrement(&g_factories); }
long live_factories() noexcept { return ::InterlockedCompareExchange(&g_factories, 0, 0); }

void lock_server(bool lock) noexcept {
    if (lock)
        ::InterlockedIncrement(&g_locks);
    else
        ::InterlockedDecrement(&g_locks);
}
long server_locks() noexcept { return ::InterlockedCompareExchange(&g_locks, 0, 0); }

unsigned next_message_serial() noexcept { return static_cast<unsigned>(::InterlockedIncrement(&g_messages)); }
unsigned next_configuration_serial() noexcept {
    return static_cast<unsigned>(::InterlockedIncrement(&g_configurations));
}

}  // namespace stub
