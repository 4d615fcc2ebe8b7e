// The class object of the stand-in's two classes (Message and Configuration). CreateInstance
// makes the object, records "<Class>::CreateInstance" on it (or, when it fails, on the object
// name with serial 0) and refuses aggregation. Counted apart from the CDO objects, for
// DllCanUnloadNow.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace stub {

class class_factory : public IClassFactory {
public:
    enum class kind { message, configuration };

    explicit class_factory(kind k) noexcept;
    virtual ~class_factory();
    class_factory(const class_factory&) = delete;
    class_factory& operator=(const class_factory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    kind kind_;
    volatile LONG refs_ = 1;
};

}  // namespace stub
