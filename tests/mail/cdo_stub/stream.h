// The content stream of a stand-in body part (IBodyPart::GetDecodedContentStream), as ADO's
// _Stream. put_Type takes 1 (binary) or 2 (text; the initial type); Write takes a one-dimensional
// byte array and only on a binary stream, as ADO does (0x800A0C93 otherwise); Flush records the
// bytes written so far. Nothing is kept but the count. The rest is recorded as not implemented.
#pragma once

#include "cdo_headers.h"
#include "com_object.h"

#include <string>

namespace stub {

class stream : public com_object<CDO::_Stream> {
public:
    stream(unsigned serial, const std::wstring& object);

    HRESULT STDMETHODCALLTYPE put_Type(CDO::StreamTypeEnum Type) override;
    HRESULT STDMETHODCALLTYPE Write(VARIANT Buffer) override;
    HRESULT STDMETHODCALLTYPE Flush() override;

    HRESULT STDMETHODCALLTYPE get_Size(CDO::ADO_LONGPTR*) override { return not_implemented(L"get_Size"); }
    HRESULT STDMETHODCALLTYPE get_EOS(VARIANT_BOOL*) override { return not_implemented(L"get_EOS"); }
    HRESULT STDMETHODCALLTYPE get_Position(CDO::ADO_LONGPTR*) override { return not_implemented(L"get_Position"); }
    HRESULT STDMETHODCALLTYPE put_Position(CDO::ADO_LONGPTR) override { return not_implemented(L"put_Position"); }
    HRESULT STDMETHODCALLTYPE get_Type(CDO::StreamTypeEnum*) override { return not_implemented(L"get_Type"); }
    HRESULT STDMETHODCALLTYPE get_LineSeparator(CDO::LineSeparatorEnum*) override {
        return not_implemented(L"get_LineSeparator");
    }
    HRESULT STDMETHODCALLTYPE put_LineSeparator(CDO::LineSeparatorEnum) override {
        return not_implemented(L"put_LineSeparator");
    }
    HRESULT STDMETHODCALLTYPE get_State(CDO::ObjectStateEnum*) override { return not_implemented(L"get_State"); }
    HRESULT STDMETHODCALLTYPE get_Mode(CDO::ConnectModeEnum*) override { return not_implemented(L"get_Mode"); }
    HRESULT STDMETHODCALLTYPE put_Mode(CDO::ConnectModeEnum) override { return not_implemented(L"put_Mode"); }
    HRESULT STDMETHODCALLTYPE get_Charset(BSTR*) override { return not_implemented(L"get_Charset"); }
    HRESULT STDMETHODCALLTYPE put_Charset(BSTR) override { return not_implemented(L"put_Charset"); }
    HRESULT STDMETHODCALLTYPE Read(long, VARIANT*) override { return not_implemented(L"Read"); }
    HRESULT STDMETHODCALLTYPE Open(VARIANT, CDO::ConnectModeEnum, CDO::StreamOpenOptionsEnum, BSTR, BSTR) override {
        return not_implemented(L"Open");
    }
    HRESULT STDMETHODCALLTYPE Close() override { return not_implemented(L"Close"); }
    HRESULT STDMETHODCALLTYPE SkipLine() override { return not_implemented(L"SkipLine"); }
    HRESULT STDMETHODCALLTYPE SetEOS() override { return not_implemented(L"SetEOS"); }
    HRESULT STDMETHODCALLTYPE CopyTo(CDO::_ADOStream*, CDO::ADO_LONGPTR) override { return not_implemented(L"CopyTo"); }
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR, CDO::SaveOptionsEnum) override { return not_implemented(L"SaveToFile"); }
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR) override { return not_implemented(L"LoadFromFile"); }
    HRESULT STDMETHODCALLTYPE ReadText(long, BSTR*) override { return not_implemented(L"ReadText"); }
    HRESULT STDMETHODCALLTYPE WriteText(BSTR, CDO::StreamWriteEnum) override { return not_implemented(L"WriteText"); }
    HRESULT STDMETHODCALLTYPE Cancel() override { return not_implemented(L"Cancel"); }

private:
    bool answers(REFIID riid) const noexcept override;

    volatile LONG type_ = CDO::adTypeText;
    volatile LONG64 written_ = 0;
};

}  // namespace stub
