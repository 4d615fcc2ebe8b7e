// mail_message: the CDO objects of one notification e-mail, and set_field, the field writer.
//
// One object per send_mail call, owned by it and used on its thread only (the watch cycle's timer
// thread, inside its COM initialisation). It owns one reference on each interface it holds and
// releases them when it ends: the configuration's fields, the message's fields, the
// configuration, the message.
//
// Private to the mail library, like the other headers that include it (headers.h, smtp_config.h,
// attachments.h): it brings in the platform's CDO declarations (see cdo.h), which need compiler
// options that the library keeps to itself. Users include send_mail.h.
#pragma once

#include "cl/base/unique_handle.h"
#include "mail/cdo.h"

#include <string>

namespace tolvarn {

struct mail_message {
    // Creates the message and configuration objects and takes their field collections; sets the
    // body part's character set to "utf-8". A failed creation is logged and leaves `ready` false.
    mail_message();

    // Declared in reverse release order: members are destroyed last-declared first.
    cl::com_ptr<CDO::IMessage> message;
    cl::com_ptr<CDO::IConfiguration> configuration;
    cl::com_ptr<CDO::Fields> message_fields;
    cl::com_ptr<CDO::Fields> config_fields;
    bool ready = false;  // true only when all four pointers are set
};

// Writes one field of `fields`: Fields::get_Item by name, Field::put_Value, Fields::Update.
// Returns get_Item's result when it is not zero, else put_Value's; zero means success.
HRESULT set_field(CDO::Fields* fields, const wchar_t* name, const VARIANT& value);
// set_field with a VT_BSTR value made from `value` and freed after the write.
HRESULT set_string_field(CDO::Fields* fields, const wchar_t* name, const std::wstring& value);

// A BSTR holding `text` (null when memory is exhausted, which CDO reads as empty).
cl::unique_bstr make_bstr(const std::wstring& text);

}  // namespace tolvarn
