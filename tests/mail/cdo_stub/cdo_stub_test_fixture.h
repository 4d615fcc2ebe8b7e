// Shared by the tests of the CDO stand-in: a fresh temporary folder, the stand-in registered and
// COM initialised per test, VARIANT and BSTR helpers, the mail job's way of writing a field, and a
// comparable form of recorded calls.
#pragma once

#include "mail/cdo_stub/cdo_headers.h"

#include "cl/base/unique_handle.h"
#include "mail/cdo_stub_record.h"
#include "mail/cdo_stub_registry.h"
#include "mail/cdo_stub_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace cdo_stub_test {

using cl::com_ptr;

inline std::wstring make_temp_folder() {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    std::wstring folder = std::wstring(base) + L"tolvarn_cdo_stub_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                          std::to_wstring(++counter) + L"\\";
    return ::CreateDirectoryW(folder.c_str(), nullptr) ? folder : std::wstring();
}

inline void remove_folder(const std::wstring& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((folder + data.cFileName).c_str());
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

inline cl::unique_bstr bstr(const std::wstring& text) {
    return cl::unique_bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A VARIANT that clears itself.
struct variant {
    VARIANT v;
    variant() { ::VariantInit(&v); }
    ~variant() { ::VariantClear(&v); }
    variant(const variant&) = delete;
    variant& operator=(const variant&) = delete;
};

inline void set_i4(variant& x, long value) {
    V_VT(&x.v) = VT_I4;
    V_I4(&x.v) = value;
}
inline void set_text(variant& x, const std::wstring& value) {
    V_VT(&x.v) = VT_BSTR;
    V_BSTR(&x.v) = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
}
inline void set_bytes(variant& x, const std::vector<unsigned char>& bytes) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    ::SafeArrayAccessData(array, &data);
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    ::SafeArrayUnaccessData(array);
    V_VT(&x.v) = VT_ARRAY | VT_UI1;
    V_ARRAY(&x.v) = array;
}

// One field write as the mail job makes it: get_Item, put_Value, Update, Release.
inline HRESULT write_field(CDO::Fields* fields, const std::wstring& name, const VARIANT& value) {
    variant index;
    set_text(index, name);
    com_ptr<CDO::Field> field;
    HRESULT hr = fields->get_Item(index.v, field.put());
    if (hr != S_OK) return hr;
    hr = field.get()->put_Value(value);
    fields->Update();
    return hr;
}

inline long live_objects() {
    HMODULE dll = ::GetModuleHandleW(L"cdo_stub.dll");
    if (!dll) return 0;
    // Through void(*)(): the one function-pointer cast that draws no warning.
    auto count = reinterpret_cast<long(WINAPI*)()>(
        reinterpret_cast<void (*)()>(::GetProcAddress(dll, "cdo_stub_live_objects")));
    return count ? count() : -1;
}

// A recorded call without process and serial, for comparing whole sequences. An expected
// argument "*" matches anything.
struct call_line {
    std::wstring object;
    std::wstring call;
    HRESULT result;
    std::vector<std::wstring> args;
};

inline bool operator==(const call_line& a, const call_line& b) {
    if (a.object != b.object || a.call != b.call || a.result != b.result || a.args.size() != b.args.size()) return false;
    for (size_t i = 0; i < a.args.size(); ++i)
        if (a.args[i] != b.args[i] && a.args[i] != L"*" && b.args[i] != L"*") return false;
    return true;
}

inline void PrintTo(const call_line& c, std::ostream* os) {
    cdo_stub::entry e;
    e.object = c.object;
    e.call = c.call;
    e.result = c.result;
    e.args = c.args;
    *os << cdo_stub::to_string(e);
}

// The three lines of one field write.
inline void add_field_write(std::vector<call_line>& lines, const std::wstring& object, const std::wstring& name,
                     std::vector<std::wstring> value) {
    lines.push_back({object, L"Fields::get_Item", S_OK, {L"8", name}});
    value.insert(value.begin(), name);
    lines.push_back({object, L"Field::put_Value", S_OK, value});
    lines.push_back({object, L"Fields::Update", S_OK, {}});
}

// The message and configuration objects of one send.
struct cdo_objects {
    com_ptr<CDO::IMessage> message;
    com_ptr<CDO::IConfiguration> configuration;
    HRESULT message_result = E_FAIL;
    HRESULT configuration_result = E_FAIL;

    cdo_objects() {
        message_result = ::CoCreateInstance(CDO::CLSID_Message, nullptr, CLSCTX_INPROC_SERVER, CDO::IID_IMessage,
                                            reinterpret_cast<void**>(message.put()));
        configuration_result =
            ::CoCreateInstance(CDO::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER, CDO::IID_IConfiguration,
                               reinterpret_cast<void**>(configuration.put()));
    }
    bool ok() const { return message && configuration; }
};

class CdoStub : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = make_temp_folder();
        ASSERT_FALSE(folder_.empty());
        record_ = folder_ + L"record.txt";
        ASSERT_EQ(ERROR_SUCCESS, cdo_stub::register_server());
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        com_ = true;
    }
    void TearDown() override {
        if (com_) {
            ::CoFreeUnusedLibraries();
            ::CoUninitialize();
        }
        cdo_stub::unregister_server();
        cdo_stub::remove_config();
        remove_folder(folder_);
    }

    // The calls of this process, without the module's own lines.
    std::vector<cdo_stub::entry> entries() const {
        std::vector<cdo_stub::entry> mine;
        for (const cdo_stub::entry& e : cdo_stub::read_record(record_))
            if (e.pid == ::GetCurrentProcessId() && e.object != L"stub") mine.push_back(e);
        return mine;
    }
    std::vector<call_line> lines() const {
        std::vector<call_line> out;
        for (const cdo_stub::entry& e : entries()) out.push_back({e.object, e.call, e.result, e.args});
        return out;
    }
    cdo_stub::settings with_record(const std::wstring& fail = std::wstring(), unsigned long delay = 0) const {
        cdo_stub::settings s;
        s.record_path = record_;
        s.fail = fail;
        s.send_delay_ms = delay;
        return s;
    }

    std::wstring folder_;
    std::wstring record_;
    bool com_ = false;
};

}  // namespace cdo_stub_test
