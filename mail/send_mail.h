// The notification e-mail: one message composed and sent through the CDO messaging component.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvarn {

// How the e-mail reaches the SMTP server: the port, and whether the connection uses TLS. The
// defaults are the fixed settings of earlier versions; without TLS the user name and password
// cross the network in clear.
struct smtp_transport {
    std::uint32_t port = 25;
    bool use_ssl = false;
};

// Builds and sends one e-mail: sender, each non-empty recipient and copy-recipient entry in order,
// the subject when not empty, the body, the attachments (up to 1 MiB of each file, skipped
// silently when unreadable), then the SMTP settings (with `transport`) and the send. Every failure
// is logged and ends the call; nothing is retried or returned. Must run on a thread that has
// initialised COM.
void send_mail(const std::wstring& smtp_server, const std::wstring& smtp_username, const std::wstring& smtp_password,
               const std::wstring& from, const std::vector<std::wstring>& to, const std::vector<std::wstring>& cc,
               const std::wstring& subject, const std::wstring& body, const std::vector<std::wstring>& attachments,
               const smtp_transport& transport = smtp_transport());

}  // namespace tolvarn
