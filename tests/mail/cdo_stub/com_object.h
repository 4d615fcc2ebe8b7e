// IUnknown and IDispatch for the stand-in's objects. `Interface` is the CDO or ADO interface the
// object implements (derived from IDispatch); the derived class names the further interface ids
// it answers. The reference count starts at 1, owned by whoever made the object. IDispatch is
// not implemented: its methods are recorded and return E_NOTIMPL.
#pragma once

#include "stub_ids.h"
#include "stub_object.h"

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>

namespace stub {

template <class Interface>
class com_object : public Interface, public stub_object {
public:
    com_object(unsigned serial, std::wstring object, const wchar_t* interface_name)
        : stub_object(serial, std::move(object), interface_name) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || answers(riid)) {
            *ppv = static_cast<Interface*>(this);
        } else if (riid == iid_stub_object) {
            *ppv = static_cast<stub_object*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    ULONG release_object() noexcept override { return Release(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return not_implemented(L"GetTypeInfoCount"); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        return not_implemented(L"GetTypeInfo");
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return not_implemented(L"GetIDsOfNames");
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return not_implemented(L"Invoke");
    }

protected:
    // True for the interface ids (beyond IUnknown and IDispatch) that this object implements.
    virtual bool answers(REFIID riid) const noexcept = 0;

private:
    volatile LONG refs_ = 1;
};

// Hands out another reference to `object` through `out`.
template <class Interface, class Object>
HRESULT hand_out(Object* object, Interface** out) {
    object->AddRef();
    *out = object;
    return S_OK;
}

}  // namespace stub
