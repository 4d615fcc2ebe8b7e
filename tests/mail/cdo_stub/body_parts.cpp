#include "body_parts.h"

#include <cstdio>
#include <utility>

namespace stub {

body_parts::body_parts(unsigned serial, const std::wstring& object, std::wstring part_prefix)
    : com_object(serial, object, L"IBodyParts"), part_prefix_(std::move(part_prefix)) {}

body_parts::~body_parts() {
    for (body_part* p : parts_) p->Release();
}

bool body_parts::answers(REFIID riid) const noexcept { return riid == CDO::IID_IBodyParts; }

HRESULT STDMETHODCALLTYPE body_parts::Add(long Index, CDO::IBodyPart** ppPart) {
    call_record rec = call(L"Add");
    wchar_t index[16];
    std::swprintf(index, sizeof index / sizeof index[0], L"%ld", static_cast<long>(Index));
    if (!ppPart) return rec.finish(rec.outcome(E_POINTER), {index});
    *ppPart = nullptr;
    if (rec.fault()) return rec.finish(rec.fault(), {index});

    HRESULT hr = S_OK;
    std::wstring name;
    ::AcquireSRWLockExclusive(&lock_);
    if (Index != -1 && (Index < 1 || static_cast<size_t>(Index) > parts_.size() + 1)) {
        hr = E_INVALIDARG;
    } else {
        body_part* made = nullptr;
        try {
            wchar_t number[16];
            std::swprintf(number, sizeof number / sizeof number[0], L"%u", added_ + 1);
            name = part_prefix_ + number;
            made = new body_part(serial(), name);
            parts_.insert(Index == -1 ? parts_.end() : parts_.begin() + (Index - 1), made);
            ++added_;
            hand_out(made, ppPart);
        } catch (...) {
            if (made) made->Release();
            hr = E_OUTOFMEMORY;
        }
    }
    ::ReleaseSRWLockExclusive(&lock_);
    return rec.finish(hr, {index, name});
}

}  // namespace stub
