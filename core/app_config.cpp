#include "core/app_config.h"

namespace tolvarn {

app_config_record app_config;

}  // namespace tolvarn
