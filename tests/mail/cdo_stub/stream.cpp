#include "stream.h"

#include "record_text.h"

#include <cstdio>

namespace stub {
namespace {

// ADO's "operation is not allowed in this context" (writing bytes to a text stream).
const HRESULT not_allowed = static_cast<HRESULT>(0x800A0C93);

std::wstring decimal(long long value) {
    wchar_t buf[32];
    std::swprintf(buf, sizeof buf / sizeof buf[0], L"%lld", value);
    return buf;
}

}  // namespace

stream::stream(unsigned serial, const std::wstring& object) : com_object(serial, object, L"_Stream") {}

bool stream::answers(REFIID riid) const noexcept { return riid == iid_stream; }

HRESULT STDMETHODCALLTYPE stream::put_Type(CDO::StreamTypeEnum Type) {
    call_record rec = call(L"put_Type");
    std::vector<std::wstring> args;
    try {
        args.push_back(decimal(Type));
    } catch (...) {
    }
    if (rec.fault()) return rec.finish(rec.fault(), args);
    if (Type != CDO::adTypeBinary && Type != CDO::adTypeText) return rec.finish(E_INVALIDARG, args);
    ::InterlockedExchange(&type_, Type);
    return rec.finish(S_OK, args);
}

HRESULT STDMETHODCALLTYPE stream::Write(VARIANT Buffer) {
    call_record rec = call(L"Write");
    std::vector<std::wstring> args;
    try {
        args = describe_variant(Buffer);
    } catch (...) {
        return rec.finish(E_OUTOFMEMORY);
    }
    if (rec.fault()) return rec.finish(rec.fault(), args);
    if (::InterlockedCompareExchange(&type_, 0, 0) != CDO::adTypeBinary) return rec.finish(not_allowed, args);
    SAFEARRAY* array = nullptr;
    if (!byte_array(Buffer, array)) return rec.finish(E_INVALIDARG, args);
    LONG lower = 0, upper = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    if (upper >= lower) ::InterlockedExchangeAdd64(&written_, static_cast<LONG64>(upper) - lower + 1);
    return rec.finish(S_OK, args);
}

HRESULT STDMETHODCALLTYPE stream::Flush() {
    call_record rec = call(L"Flush");
    std::vector<std::wstring> args;
    try {
        args.push_back(decimal(::InterlockedCompareExchange64(&written_, 0, 0)));
    } catch (...) {
    }
    return rec.finish(rec.outcome(S_OK), args);
}

}  // namespace stub
