#include "stub_ids.h"

namespace stub {

// Private to the stand-in; no other component answers it.
const IID iid_stub_object = {0x73f6d44d, 0xcb23, 0x495a, {0x9f, 0x16, 0x20, 0x1c, 0xf9, 0xea, 0x77, 0x69}};

// The ADO interfaces behind CDO's Fields, Field and _Stream: {000015xx-0000-0010-8000-00AA006D2EA4}.
#define STUB_ADO_IID(n) {n, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x6d, 0x2e, 0xa4}}
const IID iid_ado = STUB_ADO_IID(0x00000534);
const IID iid_ado_collection = STUB_ADO_IID(0x00000512);
const IID iid_fields15 = STUB_ADO_IID(0x00001506);
const IID iid_fields20 = STUB_ADO_IID(0x0000154D);
const IID iid_fields = STUB_ADO_IID(0x00001564);
const IID iid_field20 = STUB_ADO_IID(0x0000154C);
const IID iid_field = STUB_ADO_IID(0x00001569);
const IID iid_stream = STUB_ADO_IID(0x00001565);
#undef STUB_ADO_IID

}  // namespace stub
