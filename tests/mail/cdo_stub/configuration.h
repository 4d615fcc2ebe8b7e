// The stand-in configuration object (class Configuration, object "configuration"): get_Fields
// gives its field collection (owned, made with it); Load and GetInterface are recorded as not
// implemented.
#pragma once

#include "cdo_headers.h"
#include "com_object.h"
#include "fields.h"

namespace stub {

class configuration : public com_object<CDO::IConfiguration> {
public:
    // Takes the next configuration serial. Throws std::bad_alloc when out of memory.
    configuration();
    ~configuration() override;

    HRESULT STDMETHODCALLTYPE get_Fields(CDO::Fields** varFields) override;

    HRESULT STDMETHODCALLTYPE Load(CDO::CdoConfigSource, BSTR) override { return not_implemented(L"Load"); }
    HRESULT STDMETHODCALLTYPE GetInterface(BSTR, IDispatch**) override { return not_implemented(L"GetInterface"); }

private:
    bool answers(REFIID riid) const noexcept override;

    fields* fields_;
};

}  // namespace stub
