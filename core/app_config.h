// The watchdog's global record: its names, its global settings and the watch table.
//
// `app_config` is built by static initialisation, filled once by load_config at start-up, and only
// read afterwards (by the entry, the watch cycle and the service host on their threads), so it
// needs no lock. Each watch timer's callback works on its own copy of one watch_entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvarn {

// One watched program: a section of tolvarn.ini other than the global one.
struct watch_entry {
    std::wstring name;                        // executable file name, as the process list shows it
    std::uint32_t interval = 10;              // seconds between two checks
    std::vector<std::wstring> calls;          // command lines started when the program is gone
    std::wstring mail_from;                   // sender; empty: no e-mail
    std::vector<std::wstring> mail_to;        // one element per mail_to line
    std::vector<std::wstring> mail_cc;        // one element per mail_cc line
    std::wstring mail_subject;
    std::wstring mail_body;
    std::vector<std::wstring> mail_attachments;  // one element per mail_attachment line
    // Reminders and the recovery notice (opt-in; the defaults keep an e-mail at every missing check).
    std::uint32_t mail_repeat = 1;            // e-mail on the 1st of every N consecutive missing checks; 0 as 1
    bool mail_recovered = false;              // log and e-mail when a program reported missing runs again

    // Exit detection and crash-loop back-off, both off by default (0), so a section without these keys
    // behaves as the plain periodic check.
    std::uint32_t watch_exit = 0;        // not 0: check at once when the last process of the program ends
    std::uint32_t restart_backoff = 0;   // seconds, the longest hold of a start after a quick end; 0: off
    std::uint32_t min_uptime = 60;       // seconds a start must stay up to count as a good one
};

struct app_config_record {
    std::wstring ini_name = L"tolvarn.ini";
    std::wstring short_name = L"tolvarn";      // also the name of the global section
    std::wstring product_name = L"Tolvarn";    // also the title of the hidden main window
    std::wstring log_name = L"Tolvarn.log";
    std::wstring mutex_name = product_name + L"_prg_mutex";
    std::wstring service_name = L"tolvarn";
    std::wstring display_name = L"Tolvarn Watchdog Service";
    std::wstring description =
        L"This service checks continuously if specified programs are running, and if not, it takes "
        L"given actions like restaring the programs or sending an e-mail.";
    std::vector<watch_entry> watches;
    std::wstring smtp_server;
    std::wstring smtp_username;
    std::wstring smtp_password;
    std::uint32_t initial_delay = 0;  // seconds
    // SMTP transport and the log's size (opt-in; the defaults are those of earlier versions).
    std::uint32_t smtp_port = 25;       // 0 in the file means 25
    bool smtp_ssl = false;              // TLS; without it the user name and password go in clear
    std::uint32_t log_max_kb = 0;       // beyond it the log moves to log_backup_name; 0: no limit
    std::wstring log_backup_name = L"Tolvarn.1.log";
};

extern app_config_record app_config;

}  // namespace tolvarn
