#include "core/config.h"

#include "cl/file/uni_file.h"
#include "cl/format/format.h"
#include "cl/ini/ini_file.h"
#include "cl/trace/trace.h"
#include "core/module_directory.h"
#include "core/text_util.h"

#include <vector>

namespace tolvarn {

namespace {

// The value of `key` in every section named `section` (first occurrence wins), if present.
bool lookup(cl::ini_file& ini, const std::wstring& section, const wchar_t* key, std::wstring& value) {
    return ini.get_string(section, key, value, 0);
}

watch_entry read_watch_entry(cl::ini_file& ini, const std::wstring& section) {
    watch_entry entry;
    entry.name = section;
    std::wstring value;
    if (lookup(ini, section, L"interval", value)) entry.interval = static_cast<std::uint32_t>(parse_int(value));
    // Exit detection and crash-loop back-off: plain numbers, read like the interval.
    if (lookup(ini, section, L"watch_exit", value)) entry.watch_exit = static_cast<std::uint32_t>(parse_int(value));
    if (lookup(ini, section, L"restart_backoff", value)) entry.restart_backoff = static_cast<std::uint32_t>(parse_int(value));
    if (lookup(ini, section, L"min_uptime", value)) entry.min_uptime = static_cast<std::uint32_t>(parse_int(value));
    lookup(ini, section, L"mail_from", entry.mail_from);
    lookup(ini, section, L"mail_subject", entry.mail_subject);
    lookup(ini, section, L"mail_body", entry.mail_body);
    if (!entry.mail_body.empty() && entry.mail_body[0] == L'@')
        entry.mail_body = read_text_file(entry.mail_body.substr(1));
    // Reminders and the recovery notice.
    if (lookup(ini, section, L"mail_repeat", value)) entry.mail_repeat = static_cast<std::uint32_t>(parse_int(value));
    if (lookup(ini, section, L"mail_recovered", value)) entry.mail_recovered = parse_int(value) != 0;

    // Repeatable keys come from the first section of that name only, in file order.
    std::vector<std::wstring> keys;
    std::vector<std::wstring> values;
    ini.read_section_pairs(section.c_str(), keys, values);
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
        const std::wstring& key = keys[i];
        if (equals_nocase(key, L"call"))
            entry.calls.push_back(values[i]);
        else if (equals_nocase(key, L"mail_to"))
            entry.mail_to.push_back(values[i]);
        else if (equals_nocase(key, L"mail_cc"))
            entry.mail_cc.push_back(values[i]);
        else if (equals_nocase(key, L"mail_attachment"))
            entry.mail_attachments.push_back(values[i]);
    }
    return entry;
}

}  // namespace

std::wstring read_text_file(const std::wstring& file_name) { return cl::read_text_file(file_name); }

void load_config(app_config_record& config) { load_config_file(config, module_directory() + config.ini_name); }

void load_config_file(app_config_record& config, const std::wstring& ini_path) {
    config.watches.clear();

    cl::ini_file ini;
    ini.set_file(ini_path, false);

    const std::wstring& global = config.short_name;
    lookup(ini, global, L"smtp_server", config.smtp_server);
    lookup(ini, global, L"smtp_username", config.smtp_username);
    lookup(ini, global, L"smtp_password", config.smtp_password);
    std::wstring delay;
    if (lookup(ini, global, L"initial_delay", delay)) config.initial_delay = static_cast<std::uint32_t>(parse_int(delay));
    // SMTP transport and the log's size.
    std::wstring number;
    if (lookup(ini, global, L"smtp_port", number)) config.smtp_port = static_cast<std::uint32_t>(parse_int(number));
    if (config.smtp_port == 0) config.smtp_port = 25;
    if (lookup(ini, global, L"smtp_ssl", number)) config.smtp_ssl = parse_int(number) != 0;
    if (lookup(ini, global, L"log_max_kb", number)) config.log_max_kb = static_cast<std::uint32_t>(parse_int(number));

    std::vector<std::wstring> sections;
    if (!ini.section_names(sections)) {
        cl::trace_write(&cl::g_trace_out,
                        (cl::wformat(L"Error querying section names from ini file %?.\n") % config.ini_name).str());
        return;
    }
    for (const std::wstring& section : sections) {
        if (equals_nocase(section, config.short_name)) continue;
        config.watches.push_back(read_watch_entry(ini, section));
    }
}

}  // namespace tolvarn
