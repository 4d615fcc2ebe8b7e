#include "class_factory.h"

#include "call_record.h"
#include "configuration.h"
#include "message.h"
#include "module_state.h"

namespace stub {

class_factory::class_factory(kind k) noexcept : kind_(k) { factory_created(); }

class_factory::~class_factory() { factory_destroyed(); }

HRESULT STDMETHODCALLTYPE class_factory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE class_factory::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE class_factory::Release() {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE class_factory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    const bool is_message = kind_ == kind::message;
    const wchar_t* name = is_message ? L"message" : L"configuration";
    const wchar_t* call = is_message ? L"Message::CreateInstance" : L"Configuration::CreateInstance";
    if (!ppv) return call_record(0, name, call).finish(E_POINTER);
    *ppv = nullptr;
    // The fault is looked up before anything is made, so a refused creation leaves no object.
    {
        call_record rec(0, name, call);
        if (rec.fault()) return rec.finish(rec.fault());
        if (outer) return rec.finish(CLASS_E_NOAGGREGATION);
    }
    IUnknown* made = nullptr;
    unsigned serial = 0;
    try {
        if (is_message) {
            message* m = new message();
            serial = m->serial();
            made = static_cast<CDO::IMessage*>(m);
        } else {
            configuration* c = new configuration();
            serial = c->serial();
            made = static_cast<CDO::IConfiguration*>(c);
        }
    } catch (...) {
        return call_record(0, name, call).finish(E_OUTOFMEMORY);
    }
    HRESULT hr = made->QueryInterface(riid, ppv);
    call_record(serial, name, call).finish(hr);
    made->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE class_factory::LockServer(BOOL lock) {
    lock_server(lock != FALSE);
    return S_OK;
}

}  // namespace stub
