// File attachments of the notification e-mail, and their MIME content types.
#pragma once

#include "mail/mail_message.h"

#include <cstdint>
#include <string>

namespace tolvarn {

// How much of a file is attached at most; the rest of a longer file is dropped.
constexpr std::int64_t max_attachment_bytes = 0x100000;

// Attaches up to max_attachment_bytes of the file at `path`, named `file_name`. A file that
// cannot be opened, measured or read is skipped silently, as is an attachment CDO refuses.
void add_file_attachment(mail_message& mail, const std::wstring& path, const std::wstring& file_name);
// Appends one body part holding `content` (VT_ARRAY|VT_UI1) with its content-disposition and
// content-type fields. Returns zero on success, else the first non-zero result of its steps.
HRESULT add_attachment(mail_message& mail, const VARIANT& content, BSTR file_name);
// The MIME type for `file_name`: HKCR\.<extension> "Content Type", else "application/" followed
// by the extension, or by "octet-stream" when there is none.
std::wstring mime_type_of(const std::wstring& file_name);
// The text behind the last backslash or colon of `path` (all of it when it has neither).
std::wstring path_file_name(const std::wstring& path);
// The text behind the last dot of `path`; empty when no dot follows the last backslash or colon.
std::wstring path_extension(const std::wstring& path);

}  // namespace tolvarn
