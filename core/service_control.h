// -start_service and -stop_service: the watchdog's own service through the service installer.
#pragma once

namespace tolvarn {

// Installs (if needed) and starts the service "tolvarn" with this executable as its program.
bool start_own_service();
// Stops and deletes the service "tolvarn".
bool stop_own_service();

}  // namespace tolvarn
