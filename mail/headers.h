// Header values of the notification e-mail, mapped to the CDO property or field that carries them.
#pragma once

#include "mail/mail_message.h"

namespace tolvarn {

// Writes the header `name` (any letter case) with `value`. Names that carry addresses ("from",
// "to", "cc", "bcc", "reply-to", "original-recipient") are validated with check_address_list
// first. Returns the HRESULT of the property call or field write made, or E_INVALIDARG
// (0x80070057) for an invalid address or a name it does not know. The caller has checked `ready`.
HRESULT set_header(mail_message& mail, BSTR name, BSTR value);

}  // namespace tolvarn
