#include "fields.h"

#include "record_text.h"

#include <new>

namespace stub {
namespace {

// ADO's "item cannot be found in the collection".
const HRESULT item_not_found = static_cast<HRESULT>(0x800A0CC1);

}  // namespace

fields::fields(unsigned serial, const std::wstring& object) : com_object(serial, object, L"Fields") {}

fields::~fields() {
    for (field* f : items_) f->Release();
}

bool fields::answers(REFIID riid) const noexcept {
    return riid == iid_fields || riid == iid_fields20 || riid == iid_fields15 || riid == iid_ado_collection;
}

field* fields::find_or_make(const std::wstring& name) {
    for (field* f : items_) {
        const std::wstring& known = f->name();
        if (::CompareStringOrdinal(known.c_str(), static_cast<int>(known.size()), name.c_str(),
                                   static_cast<int>(name.size()), TRUE) == CSTR_EQUAL)
            return f;
    }
    field* made = new (std::nothrow) field(serial(), object(), name);
    if (!made) return nullptr;
    try {
        items_.push_back(made);
    } catch (...) {
        made->Release();
        return nullptr;
    }
    return made;
}

HRESULT STDMETHODCALLTYPE fields::get_Item(VARIANT Index, CDO::ADOField** ppvObject) {
    call_record rec = call(L"get_Item");
    std::vector<std::wstring> args;
    try {
        args = describe_variant(Index);
    } catch (...) {
    }
    if (!ppvObject) return rec.finish(rec.outcome(E_POINTER), args);
    *ppvObject = nullptr;
    if (rec.fault()) return rec.finish(rec.fault(), args);

    VARIANT index;
    ::VariantInit(&index);
    HRESULT hr = ::VariantCopyInd(&index, &Index);
    if (FAILED(hr)) return rec.finish(hr, args);
    field* found = nullptr;
    ::AcquireSRWLockExclusive(&lock_);
    if (V_VT(&index) == VT_BSTR) {
        try {
            found = find_or_make(bstr_text(V_BSTR(&index)));
            hr = found ? S_OK : E_OUTOFMEMORY;
        } catch (...) {
            hr = E_OUTOFMEMORY;
        }
    } else {
        VARIANT number;
        ::VariantInit(&number);
        hr = ::VariantChangeType(&number, &index, 0, VT_I4);
        if (SUCCEEDED(hr)) {
            if (V_I4(&number) >= 0 && static_cast<size_t>(V_I4(&number)) < items_.size())
                found = items_[static_cast<size_t>(V_I4(&number))];
            else
                hr = item_not_found;
        } else {
            hr = item_not_found;
        }
    }
    if (found) hand_out(found, ppvObject);
    ::ReleaseSRWLockExclusive(&lock_);
    ::VariantClear(&index);
    return rec.finish(hr, args);
}

HRESULT STDMETHODCALLTYPE fields::Update() {
    call_record rec = call(L"Update");
    return rec.finish(rec.outcome(S_OK));
}

}  // namespace stub
