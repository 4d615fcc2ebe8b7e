// Entry points of cdo_stub.dll: the two COM exports and a count of live objects for tests that
// load the DLL in their own process.
#include "cdo_headers.h"
#include "call_record.h"
#include "class_factory.h"
#include "module_state.h"

#include <cstdio>
#include <new>

namespace {

std::wstring decimal(long value) {
    wchar_t buf[16];
    std::swprintf(buf, sizeof buf / sizeof buf[0], L"%ld", value);
    return buf;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        stub::set_module_handle(instance);
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Only a FreeLibrary is recorded: at process exit other threads may have died holding
        // locks that writing a line would need.
        try {
            stub::call_record(0, L"stub", L"unload").finish(S_OK, {decimal(stub::live_objects())});
        } catch (...) {
        }
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    stub::class_factory::kind kind;
    if (rclsid == CDO::CLSID_Message)
        kind = stub::class_factory::kind::message;
    else if (rclsid == CDO::CLSID_Configuration)
        kind = stub::class_factory::kind::configuration;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    stub::class_factory* factory = new (std::nothrow) stub::class_factory(kind);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    long objects = stub::live_objects();
    long factories = stub::live_factories();
    long locks = stub::server_locks();
    HRESULT hr = objects == 0 && factories == 0 && locks == 0 ? S_OK : S_FALSE;
    try {
        stub::call_record(0, L"stub", L"DllCanUnloadNow").finish(hr, {decimal(objects), decimal(factories), decimal(locks)});
    } catch (...) {
    }
    return hr;
}

// The number of stand-in CDO objects alive in this process (class factories not counted).
extern "C" long WINAPI cdo_stub_live_objects() { return stub::live_objects(); }
