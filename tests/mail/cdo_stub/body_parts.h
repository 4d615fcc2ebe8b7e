// The attachment collection of a stand-in message ("message.attachments"). Add with index -1
// appends a new body part, with 1 to count+1 inserts one there; the K-th part added is named
// "message.attachment<K>". Owns a reference on each part. The rest is recorded as not implemented.
#pragma once

#include "body_part.h"
#include "cdo_headers.h"
#include "com_object.h"

#include <string>
#include <vector>

namespace stub {

class body_parts : public com_object<CDO::IBodyParts> {
public:
    body_parts(unsigned serial, const std::wstring& object, std::wstring part_prefix);
    ~body_parts() override;

    HRESULT STDMETHODCALLTYPE Add(long Index, CDO::IBodyPart** ppPart) override;

    HRESULT STDMETHODCALLTYPE get_Count(long*) override { return not_implemented(L"get_Count"); }
    HRESULT STDMETHODCALLTYPE get_Item(long, CDO::IBodyPart**) override { return not_implemented(L"get_Item"); }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return not_implemented(L"get__NewEnum"); }
    HRESULT STDMETHODCALLTYPE Delete(VARIANT) override { return not_implemented(L"Delete"); }
    HRESULT STDMETHODCALLTYPE DeleteAll() override { return not_implemented(L"DeleteAll"); }

private:
    bool answers(REFIID riid) const noexcept override;

    std::wstring part_prefix_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<body_part*> parts_;
    unsigned added_ = 0;
};

}  // namespace stub
