#include "configuration.h"

#include "module_state.h"

namespace stub {

configuration::configuration()
    : com_object(next_configuration_serial(), L"configuration", L"IConfiguration"),
      fields_(new fields(serial(), object())) {}

configuration::~configuration() { fields_->Release(); }

bool configuration::answers(REFIID riid) const noexcept { return riid == CDO::IID_IConfiguration; }

HRESULT STDMETHODCALLTYPE configuration::get_Fields(CDO::Fields** varFields) {
    call_record rec = call(L"get_Fields");
    if (!varFields) return rec.finish(rec.outcome(E_POINTER));
    *varFields = nullptr;
    if (rec.fault()) return rec.finish(rec.fault());
    return rec.finish(hand_out(fields_, varFields));
}

}  // namespace stub
