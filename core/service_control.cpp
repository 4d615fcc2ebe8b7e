#include "core/service_control.h"

#include "cl/service/install_service.h"
#include "core/app_config.h"
#include "core/module_directory.h"

#include <windows.h>

namespace tolvarn {

bool start_own_service() {
    const std::wstring path = module_file_name();
    return cl::install_service(app_config.service_name.c_str(), app_config.display_name.c_str(),
                               app_config.description.c_str(), path.c_str(), SERVICE_WIN32_OWN_PROCESS, true);
}

bool stop_own_service() {
    return cl::install_service(app_config.service_name.c_str(), nullptr, nullptr, nullptr, 0, false);
}

}  // namespace tolvarn
