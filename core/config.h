// Reading tolvarn.ini into app_config: the global settings and one watch entry per program section.
#pragma once

#include "core/app_config.h"

#include <string>

namespace tolvarn {

// Fills `config` from tolvarn.ini beside the executable. Never fails loudly: a missing or
// unreadable file is logged ("Error querying section names ...") and leaves an empty watch table.
void load_config(app_config_record& config);
// load_config from the INI file at `ini_path` (the message still names config.ini_name).
void load_config_file(app_config_record& config, const std::wstring& ini_path);

// Reads the whole text file `file_name` (any encoding its byte-order mark names), each line
// followed by LF CR. A file that cannot be opened, or is too large, gives the empty text.
std::wstring read_text_file(const std::wstring& file_name);

}  // namespace tolvarn
