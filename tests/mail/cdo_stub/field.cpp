#include "field.h"

#include "record_text.h"

#include <utility>
#include <vector>

namespace stub {

field::field(unsigned serial, const std::wstring& object, std::wstring name)
    : com_object(serial, object, L"Field"), name_(std::move(name)) {
    ::VariantInit(&value_);
}

field::~field() { ::VariantClear(&value_); }

bool field::answers(REFIID riid) const noexcept { return riid == iid_field || riid == iid_field20 || riid == iid_ado; }

HRESULT STDMETHODCALLTYPE field::get_Name(BSTR* pbstr) {
    call_record rec = call(L"get_Name");
    if (!pbstr) return rec.finish(rec.outcome(E_POINTER), {name_});
    *pbstr = nullptr;
    if (rec.fault()) return rec.finish(rec.fault(), {name_});
    *pbstr = ::SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
    return rec.finish(*pbstr ? S_OK : E_OUTOFMEMORY, {name_});
}

HRESULT STDMETHODCALLTYPE field::get_Value(VARIANT* pvar) {
    call_record rec = call(L"get_Value");
    if (!pvar) return rec.finish(rec.outcome(E_POINTER), {name_});
    ::VariantInit(pvar);
    if (rec.fault()) return rec.finish(rec.fault(), {name_});
    ::AcquireSRWLockShared(&lock_);
    HRESULT hr = ::VariantCopy(pvar, &value_);
    ::ReleaseSRWLockShared(&lock_);
    return rec.finish(hr, {name_});
}

HRESULT STDMETHODCALLTYPE field::put_Value(VARIANT Val) {
    call_record rec = call(L"put_Value");
    std::vector<std::wstring> args;
    try {
        args.push_back(name_);
        std::vector<std::wstring> value = describe_variant(Val);
        args.insert(args.end(), value.begin(), value.end());
    } catch (...) {
        return rec.finish(E_OUTOFMEMORY);
    }
    if (rec.fault()) return rec.finish(rec.fault(), args);
    VARIANT copy;
    ::VariantInit(&copy);
    HRESULT hr = ::VariantCopyInd(&copy, &Val);
    if (SUCCEEDED(hr)) {
        ::AcquireSRWLockExclusive(&lock_);
        std::swap(copy, value_);
        ::ReleaseSRWLockExclusive(&lock_);
        ::VariantClear(&copy);
    }
    return rec.finish(hr, args);
}

}  // namespace stub
