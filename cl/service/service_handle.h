// cl::unique_service_handle: owner of a handle of the service control manager (a manager or a
// service handle), closed with CloseServiceHandle. See cl/base/unique_handle.h for the rules.
#pragma once

#include "cl/base/unique_handle.h"

#include <windows.h>

namespace cl {

struct service_handle_traits {
    using value_type = SC_HANDLE;
    static SC_HANDLE invalid() noexcept { return nullptr; }
    static void close(SC_HANDLE h) noexcept { ::CloseServiceHandle(h); }
};

using unique_service_handle = unique_handle<service_handle_traits>;

}  // namespace cl
