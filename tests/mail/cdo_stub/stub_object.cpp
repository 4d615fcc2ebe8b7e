#include "stub_object.h"

#include "module_state.h"

#include <utility>

namespace stub {

stub_object::stub_object(unsigned serial, std::wstring object, const wchar_t* interface_name)
    : serial_(serial), object_(std::move(object)), interface_(interface_name) {
    object_created();
}

stub_object::~stub_object() {
    if (object_destroyed() != 0) return;
    try {
        call_record(0, L"stub", L"live-objects").finish(S_OK, {L"0"});
    } catch (...) {
    }
}

call_record stub_object::call(const wchar_t* method) const noexcept {
    std::wstring name;
    try {
        name = std::wstring(interface_) + L"::" + method;
    } catch (...) {
    }
    return call_record(serial_, object_, name);
}

HRESULT stub_object::not_implemented(const wchar_t* method) const noexcept {
    call_record rec = call(method);
    return rec.finish(rec.outcome(E_NOTIMPL));
}

}  // namespace stub
