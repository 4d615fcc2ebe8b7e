#include "body_part.h"

#include "record_text.h"
#include "stream.h"

#include <new>

namespace stub {

body_part::body_part(unsigned serial, const std::wstring& object)
    : com_object(serial, object, L"IBodyPart"), fields_(new fields(serial, object)) {}

body_part::~body_part() { fields_->Release(); }

bool body_part::answers(REFIID riid) const noexcept { return riid == CDO::IID_IBodyPart; }

HRESULT STDMETHODCALLTYPE body_part::get_Fields(CDO::Fields** varFields) {
    call_record rec = call(L"get_Fields");
    if (!varFields) return rec.finish(rec.outcome(E_POINTER));
    *varFields = nullptr;
    if (rec.fault()) return rec.finish(rec.fault());
    return rec.finish(hand_out(fields_, varFields));
}

HRESULT STDMETHODCALLTYPE body_part::put_Charset(BSTR varCharset) {
    call_record rec = call(L"put_Charset");
    std::vector<std::wstring> args;
    try {
        args.push_back(bstr_text(varCharset));
    } catch (...) {
    }
    return rec.finish(rec.outcome(S_OK), args);
}

HRESULT STDMETHODCALLTYPE body_part::GetDecodedContentStream(CDO::_Stream** ppStream) {
    call_record rec = call(L"GetDecodedContentStream");
    if (!ppStream) return rec.finish(rec.outcome(E_POINTER));
    *ppStream = nullptr;
    if (rec.fault()) return rec.finish(rec.fault());
    stream* made = nullptr;
    try {
        made = new stream(serial(), object() + L".stream");
    } catch (...) {
        return rec.finish(E_OUTOFMEMORY);
    }
    *ppStream = made;
    return rec.finish(S_OK);
}

}  // namespace stub
