// Texts of the record: escaped UTF-8 fields and the description of VARIANT values. The format is
// described in README.md beside this file; the test side (cdo_stub_record.h) reads it back.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace stub {

// Appends `text` to `out` as UTF-8 with backslash escapes: "\\", "\t", "\n", "\r", "\xHH" for the
// other control characters, "\uHHHH" for an unpaired surrogate. Lossless for any UTF-16 text.
void append_escaped(std::string& out, const wchar_t* text, size_t length);

// The text of a BSTR (embedded NULs kept); a null BSTR is empty.
std::wstring bstr_text(BSTR text);

// The HRESULT as "0x" and eight capital hex digits.
std::wstring hresult_text(HRESULT result);

// A VARIANT (by-reference values followed) as record fields: its type number, then the value:
// VT_I1..VT_UI8, VT_INT, VT_UINT, VT_BOOL in decimal; VT_R4, VT_R8, VT_CY as shortest round-trip
// decimals; VT_DATE as the double and "YYYY-MM-DD hh:mm:ss"; VT_BSTR as the text;
// VT_ARRAY|VT_UI1 as element count, lower-case hex of the bytes and lower bound; VT_EMPTY and
// VT_NULL with no value; other types as the text VariantChangeType gives, if any.
std::vector<std::wstring> describe_variant(const VARIANT& value);

// True when `value` (by-reference followed) is a one-dimensional byte array; gives its data.
// The data stays valid while `value` is unchanged.
bool byte_array(const VARIANT& value, SAFEARRAY*& array);

}  // namespace stub
