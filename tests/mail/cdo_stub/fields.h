// A stand-in field collection (of a configuration, a message or a body part). get_Item with a
// field name (VT_BSTR) gives that field, made on first use (names compare without regard to
// case); a number gives the field at that 0-based position among those made. Update is recorded
// and succeeds; the rest is recorded as not implemented. Owns a reference on each field.
#pragma once

#include "cdo_headers.h"
#include "com_object.h"
#include "field.h"

#include <string>
#include <vector>

namespace stub {

class fields : public com_object<CDO::Fields> {
public:
    fields(unsigned serial, const std::wstring& object);
    ~fields() override;

    HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, CDO::ADOField** ppvObject) override;
    HRESULT STDMETHODCALLTYPE Update() override;

    HRESULT STDMETHODCALLTYPE get_Count(long*) override { return not_implemented(L"get_Count"); }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return not_implemented(L"_NewEnum"); }
    HRESULT STDMETHODCALLTYPE Refresh() override { return not_implemented(L"Refresh"); }
    HRESULT STDMETHODCALLTYPE _Append(BSTR, CDO::DataTypeEnum, CDO::ADO_LONGPTR, CDO::FieldAttributeEnum) override {
        return not_implemented(L"_Append");
    }
    HRESULT STDMETHODCALLTYPE Delete(VARIANT) override { return not_implemented(L"Delete"); }
    HRESULT STDMETHODCALLTYPE Append(BSTR, CDO::DataTypeEnum, CDO::ADO_LONGPTR, CDO::FieldAttributeEnum, VARIANT) override {
        return not_implemented(L"Append");
    }
    HRESULT STDMETHODCALLTYPE Resync(CDO::ResyncEnum) override { return not_implemented(L"Resync"); }
    HRESULT STDMETHODCALLTYPE CancelUpdate() override { return not_implemented(L"CancelUpdate"); }

private:
    bool answers(REFIID riid) const noexcept override;
    // The field named `name`, made when missing; null when out of memory. Call under the lock.
    field* find_or_make(const std::wstring& name);

    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<field*> items_;
};

}  // namespace stub
