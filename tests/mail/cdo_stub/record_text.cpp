#include "record_text.h"

#include <cstdio>

namespace stub {
namespace {

void append_utf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::wstring ascii(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

std::wstring number(long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", v);
    return ascii(buf);
}

std::wstring unsigned_number(unsigned long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu", v);
    return ascii(buf);
}

std::wstring real(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return ascii(buf);
}

std::wstring date_text(double date) {
    SYSTEMTIME st;
    if (!::VariantTimeToSystemTime(date, &st)) return std::wstring();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return ascii(buf);
}

std::vector<std::wstring> describe_array(SAFEARRAY* array) {
    std::vector<std::wstring> fields;
    LONG lower = 0, upper = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    unsigned long long count = upper >= lower ? static_cast<unsigned long long>(upper - lower) + 1 : 0;
    fields.push_back(unsigned_number(count));
    std::wstring hex;
    void* data = nullptr;
    if (count != 0 && SUCCEEDED(::SafeArrayAccessData(array, &data))) {
        static const wchar_t digits[] = L"0123456789abcdef";
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        hex.reserve(static_cast<size_t>(count) * 2);
        for (unsigned long long i = 0; i < count; ++i) {
            hex += digits[bytes[i] >> 4];
            hex += digits[bytes[i] & 0x0F];
        }
        ::SafeArrayUnaccessData(array);
    }
    fields.push_back(hex);
    fields.push_back(number(lower));
    return fields;
}

}  // namespace

void append_escaped(std::string& out, const wchar_t* text, size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < length; ++i) {
        unsigned long c = text[i];
        if (c == L'\\') {
            out += "\\\\";
        } else if (c == L'\t') {
            out += "\\t";
        } else if (c == L'\n') {
            out += "\\n";
        } else if (c == L'\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            append_utf8(out, 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned long>(text[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 0x0F];
        } else {
            append_utf8(out, c);
        }
    }
}

std::wstring bstr_text(BSTR text) { return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring(); }

std::wstring hresult_text(HRESULT result) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(result));
    return ascii(buf);
}

bool byte_array(const VARIANT& value, SAFEARRAY*& array) {
    const VARIANT* v = &value;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    if (V_VT(v) == (VT_ARRAY | VT_UI1))
        array = V_ARRAY(v);
    else if (V_VT(v) == (VT_ARRAY | VT_UI1 | VT_BYREF) && V_ARRAYREF(v))
        array = *V_ARRAYREF(v);
    else
        return false;
    return array && ::SafeArrayGetDim(array) == 1 && ::SafeArrayGetElemsize(array) == 1;
}

std::vector<std::wstring> describe_variant(const VARIANT& value) {
    std::vector<std::wstring> fields;
    fields.push_back(unsigned_number(V_VT(&value)));

    SAFEARRAY* array = nullptr;
    if (byte_array(value, array)) {
        std::vector<std::wstring> rest = describe_array(array);
        fields.insert(fields.end(), rest.begin(), rest.end());
        return fields;
    }
    VARIANT v;
    ::VariantInit(&v);
    // Some SDKs declare the source without const; it is only read.
    if (FAILED(::VariantCopyInd(&v, const_cast<VARIANT*>(&value)))) return fields;
    switch (V_VT(&v)) {
    case VT_EMPTY:
    case VT_NULL:
        break;
    case VT_I1: fields.push_back(number(V_I1(&v))); break;
    case VT_I2: fields.push_back(number(V_I2(&v))); break;
    case VT_I4: fields.push_back(number(V_I4(&v))); break;
    case VT_I8: fields.push_back(number(V_I8(&v))); break;
    case VT_INT: fields.push_back(number(V_INT(&v))); break;
    case VT_UI1: fields.push_back(unsigned_number(V_UI1(&v))); break;
    case VT_UI2: fields.push_back(unsigned_number(V_UI2(&v))); break;
    case VT_UI4: fields.push_back(unsigned_number(V_UI4(&v))); break;
    case VT_UI8: fields.push_back(unsigned_number(V_UI8(&v))); break;
    case VT_UINT: fields.push_back(unsigned_number(V_UINT(&v))); break;
    case VT_BOOL: fields.push_back(number(V_BOOL(&v))); break;
    case VT_R4: fields.push_back(real(V_R4(&v))); break;
    case VT_R8: fields.push_back(real(V_R8(&v))); break;
    case VT_CY: fields.push_back(real(static_cast<double>(V_CY(&v).int64) / 10000.0)); break;
    case VT_DATE:
        fields.push_back(real(V_DATE(&v)));
        fields.push_back(date_text(V_DATE(&v)));
        break;
    case VT_BSTR: fields.push_back(bstr_text(V_BSTR(&v))); break;
    default: {
        VARIANT text;
        ::VariantInit(&text);
        if (SUCCEEDED(::VariantChangeType(&text, &v, 0, VT_BSTR))) fields.push_back(bstr_text(V_BSTR(&text)));
        ::VariantClear(&text);
        break;
    }
    }
    ::VariantClear(&v);
    return fields;
}

}  // namespace stub
