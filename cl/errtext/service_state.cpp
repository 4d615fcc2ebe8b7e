// Names of the service states of the service control manager, for log lines.
#include "cl/errtext/error_text.h"

#include "cl/format/format.h"

namespace cl {

std::string service_state_name(unsigned state) {
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start pending";
    case SERVICE_STOP_PENDING: return "stop pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continue pending";
    case SERVICE_PAUSE_PENDING: return "pause pending";
    case SERVICE_PAUSED: return "paused";
    default: return (format("Unknown status (%?)") % state).str();
    }
}

}  // namespace cl
