// Common part of every object of the stand-in: the name the record gives it, the live-object
// count, and the recording of calls. `serial` is the number of the message or configuration the
// object belongs to; `object` names it within that ("message", "message.attachment1", ...).
#pragma once

#include "call_record.h"

#include <windows.h>

#include <string>

namespace stub {

class stub_object {
public:
    stub_object(unsigned serial, std::wstring object, const wchar_t* interface_name);
    // Records "live-objects" when the last object of the process goes.
    virtual ~stub_object();
    stub_object(const stub_object&) = delete;
    stub_object& operator=(const stub_object&) = delete;

    unsigned serial() const noexcept { return serial_; }
    const std::wstring& object() const noexcept { return object_; }
    // Releases the reference that QueryInterface for iid_stub_object handed out.
    virtual ULONG release_object() noexcept = 0;

protected:
    // A record of the call "<interface>::<method>" on this object.
    call_record call(const wchar_t* method) const noexcept;
    // Records the call and returns E_NOTIMPL (or the injected fault).
    HRESULT not_implemented(const wchar_t* method) const noexcept;

private:
    unsigned serial_;
    std::wstring object_;
    const wchar_t* interface_;
};

}  // namespace stub
