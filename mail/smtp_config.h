// The SMTP transport settings of the notification e-mail, and the send.
#pragma once

#include "mail/mail_message.h"
#include "mail/send_mail.h"

#include <string>

namespace tolvarn {

// Writes the transport fields (send using the network, the port, TLS only when it is on, a
// 10-second connection time-out, basic authentication, the server, user name and password), stamps
// the date, attaches the configuration to the message and sends. Returns the HRESULT of
// IMessage::Send; the earlier steps show only through it. The caller has checked `ready`.
HRESULT configure_and_send(mail_message& mail, const std::wstring& server, const std::wstring& username,
                           const std::wstring& password, const smtp_transport& transport = smtp_transport());
// Writes the message's date field with the current local time (VT_DATE); returns the field write.
HRESULT set_date_field(mail_message& mail);

}  // namespace tolvarn
