// Interface ids the stand-in answers in QueryInterface beside the CDO ones: the ADO interfaces
// that the platform header declares but no import library defines, and the stand-in's own
// identity interface, which lets one stand-in object recognise another (put_Configuration).
#pragma once

#include <windows.h>

namespace stub {

extern const IID iid_stub_object;

extern const IID iid_ado;
extern const IID iid_ado_collection;
extern const IID iid_fields15;
extern const IID iid_fields20;
extern const IID iid_fields;
extern const IID iid_field20;
extern const IID iid_field;
extern const IID iid_stream;

}  // namespace stub
