// A stand-in body part: the message's own body ("message.body") or an attachment
// ("message.attachment<K>"). get_Fields gives its field collection (owned, made with the part);
// put_Charset is recorded; GetDecodedContentStream makes a new content stream ("<part>.stream")
// on every call. The rest is recorded as not implemented.
#pragma once

#include "cdo_headers.h"
#include "com_object.h"
#include "fields.h"

#include <string>

namespace stub {

class body_part : public com_object<CDO::IBodyPart> {
public:
    // Throws std::bad_alloc when its field collection cannot be made.
    body_part(unsigned serial, const std::wstring& object);
    ~body_part() override;

    HRESULT STDMETHODCALLTYPE get_Fields(CDO::Fields** varFields) override;
    HRESULT STDMETHODCALLTYPE put_Charset(BSTR varCharset) override;
    HRESULT STDMETHODCALLTYPE GetDecodedContentStream(CDO::_Stream** ppStream) override;

    HRESULT STDMETHODCALLTYPE get_BodyParts(CDO::IBodyParts**) override { return not_implemented(L"get_BodyParts"); }
    HRESULT STDMETHODCALLTYPE get_ContentTransferEncoding(BSTR*) override {
        return not_implemented(L"get_ContentTransferEncoding");
    }
    HRESULT STDMETHODCALLTYPE put_ContentTransferEncoding(BSTR) override {
        return not_implemented(L"put_ContentTransferEncoding");
    }
    HRESULT STDMETHODCALLTYPE get_ContentMediaType(BSTR*) override { return not_implemented(L"get_ContentMediaType"); }
    HRESULT STDMETHODCALLTYPE put_ContentMediaType(BSTR) override { return not_implemented(L"put_ContentMediaType"); }
    HRESULT STDMETHODCALLTYPE get_Charset(BSTR*) override { return not_implemented(L"get_Charset"); }
    HRESULT STDMETHODCALLTYPE get_FileName(BSTR*) override { return not_implemented(L"get_FileName"); }
    HRESULT STDMETHODCALLTYPE get_DataSource(CDO::IDataSource**) override { return not_implemented(L"get_DataSource"); }
    HRESULT STDMETHODCALLTYPE get_ContentClass(BSTR*) override { return not_implemented(L"get_ContentClass"); }
    HRESULT STDMETHODCALLTYPE put_ContentClass(BSTR) override { return not_implemented(L"put_ContentClass"); }
    HRESULT STDMETHODCALLTYPE get_ContentClassName(BSTR*) override { return not_implemented(L"get_ContentClassName"); }
    HRESULT STDMETHODCALLTYPE put_ContentClassName(BSTR) override { return not_implemented(L"put_ContentClassName"); }
    HRESULT STDMETHODCALLTYPE get_Parent(CDO::IBodyPart**) override { return not_implemented(L"get_Parent"); }
    HRESULT STDMETHODCALLTYPE AddBodyPart(long, CDO::IBodyPart**) override { return not_implemented(L"AddBodyPart"); }
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR) override { return not_implemented(L"SaveToFile"); }
    HRESULT STDMETHODCALLTYPE GetEncodedContentStream(CDO::_Stream**) override {
        return not_implemented(L"GetEncodedContentStream");
    }
    HRESULT STDMETHODCALLTYPE GetStream(CDO::_Stream**) override { return not_implemented(L"GetStream"); }
    HRESULT STDMETHODCALLTYPE GetFieldParameter(BSTR, BSTR, BSTR*) override {
        return not_implemented(L"GetFieldParameter");
    }
    HRESULT STDMETHODCALLTYPE GetInterface(BSTR, IDispatch**) override { return not_implemented(L"GetInterface"); }

private:
    bool answers(REFIID riid) const noexcept override;

    fields* fields_;
};

}  // namespace stub
