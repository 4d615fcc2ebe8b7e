// A field of a stand-in field collection: a name and a VARIANT value. put_Value records the
// value (see README.md); get_Name and get_Value answer what is stored; the rest is recorded as not
// implemented. Made by `fields` on the first get_Item of its name.
#pragma once

#include "cdo_headers.h"
#include "com_object.h"

#include <string>

namespace stub {

class field : public com_object<CDO::Field> {
public:
    field(unsigned serial, const std::wstring& object, std::wstring name);
    ~field() override;

    const std::wstring& name() const noexcept { return name_; }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstr) override;
    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pvar) override;
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT Val) override;

    HRESULT STDMETHODCALLTYPE get_Properties(CDO::ADOProperties**) override { return not_implemented(L"get_Properties"); }
    HRESULT STDMETHODCALLTYPE get_ActualSize(CDO::ADO_LONGPTR*) override { return not_implemented(L"get_ActualSize"); }
    HRESULT STDMETHODCALLTYPE get_Attributes(long*) override { return not_implemented(L"get_Attributes"); }
    HRESULT STDMETHODCALLTYPE get_DefinedSize(CDO::ADO_LONGPTR*) override { return not_implemented(L"get_DefinedSize"); }
    HRESULT STDMETHODCALLTYPE get_Type(CDO::DataTypeEnum*) override { return not_implemented(L"get_Type"); }
    HRESULT STDMETHODCALLTYPE get_Precision(BYTE*) override { return not_implemented(L"get_Precision"); }
    HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE*) override { return not_implemented(L"get_NumericScale"); }
    HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT) override { return not_implemented(L"AppendChunk"); }
    HRESULT STDMETHODCALLTYPE GetChunk(long, VARIANT*) override { return not_implemented(L"GetChunk"); }
    HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT*) override { return not_implemented(L"get_OriginalValue"); }
    HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT*) override { return not_implemented(L"get_UnderlyingValue"); }
    HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown**) override { return not_implemented(L"get_DataFormat"); }
    HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown*) override { return not_implemented(L"putref_DataFormat"); }
    HRESULT STDMETHODCALLTYPE put_Precision(BYTE) override { return not_implemented(L"put_Precision"); }
    HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE) override { return not_implemented(L"put_NumericScale"); }
    HRESULT STDMETHODCALLTYPE put_Type(CDO::DataTypeEnum) override { return not_implemented(L"put_Type"); }
    HRESULT STDMETHODCALLTYPE put_DefinedSize(CDO::ADO_LONGPTR) override { return not_implemented(L"put_DefinedSize"); }
    HRESULT STDMETHODCALLTYPE put_Attributes(long) override { return not_implemented(L"put_Attributes"); }
    HRESULT STDMETHODCALLTYPE get_Status(long*) override { return not_implemented(L"get_Status"); }

private:
    bool answers(REFIID riid) const noexcept override;

    std::wstring name_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    VARIANT value_;
};

}  // namespace stub
