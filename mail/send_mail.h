// The notification e-mail: one message composed and sent through the CDO messaging component.
#pragma once

#include <string>
#include <vector>

namespace tolvarn {

// Builds and sends one e-mail: sender, each non-empty recipient and copy-recipient entry in order,
// the subject when not empty, the body, the attachments (up to 1 MiB of each file, skipped
// silently when unreadable), then the SMTP settings and the send. Every failure is logged and ends
// the call; nothing is retried or returned. Must run on a thread that has initialised COM.
void send_mail(const std::wstring& smtp_server, const std::wstring& smtp_username, const std::wstring& smtp_password,
               const std::wstring& from, const std::vector<std::wstring>& to, const std::vector<std::wstring>& cc,
               const std::wstring& subject, const std::wstring& body, const std::vector<std::wstring>& attachments);

}  // namespace tolvarn
