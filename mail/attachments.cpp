#include "mail/attachments.h"

#include "cl/file/file_stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tolvarn {

namespace {

// Owns a SAFEARRAY's data lock.
class array_data_lock {
public:
    explicit array_data_lock(SAFEARRAY* array) : array_(array) {
        if (FAILED(::SafeArrayAccessData(array_, &data_))) data_ = nullptr;
    }
    ~array_data_lock() {
        if (data_) ::SafeArrayUnaccessData(array_);
    }
    array_data_lock(const array_data_lock&) = delete;
    array_data_lock& operator=(const array_data_lock&) = delete;
    unsigned char* data() const { return static_cast<unsigned char*>(data_); }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

// Owns a VARIANT and clears it (destroying what it holds) on every path.
class owned_variant {
public:
    owned_variant() { ::VariantInit(&value_); }
    ~owned_variant() { ::VariantClear(&value_); }
    owned_variant(const owned_variant&) = delete;
    owned_variant& operator=(const owned_variant&) = delete;
    VARIANT& get() { return value_; }

private:
    VARIANT value_;
};

std::size_t last_separator(const std::wstring& path) { return path.find_last_of(L"\\:"); }

// The registry's "Content Type" of HKCR\<key>: REG_SZ or REG_EXPAND_SZ (not expanded), any
// length, trailing NULs removed. Empty when missing or of another type.
std::wstring registry_content_type(const std::wstring& key_name) {
    cl::unique_reg_key key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key_name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"";
    std::vector<wchar_t> buffer(64);
    for (;;) {
        DWORD type = 0;
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG status = ::RegQueryValueExW(key.get(), L"Content Type", nullptr, &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            // The value grew or was larger than the guess; one more character keeps room for a NUL.
            buffer.resize(bytes / sizeof(wchar_t) + 2);
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return L"";
        std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();
        return value;
    }
}

}  // namespace

std::wstring path_file_name(const std::wstring& path) {
    const std::size_t separator = last_separator(path);
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring path_extension(const std::wstring& path) {
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos) return L"";
    const std::size_t separator = last_separator(path);
    if (separator != std::wstring::npos && separator > dot) return L"";
    return path.substr(dot + 1);
}

std::wstring mime_type_of(const std::wstring& file_name) {
    const std::wstring extension = path_extension(file_name);
    std::wstring type = registry_content_type(L"." + extension);
    if (type.empty()) type = L"application/" + (extension.empty() ? std::wstring(L"octet-stream") : extension);
    return type;
}

HRESULT add_attachment(mail_message& mail, const VARIANT& content, BSTR file_name) {
    cl::com_ptr<CDO::IBodyParts> parts;
    HRESULT result = mail.message->get_Attachments(parts.put());
    if (result != S_OK) return result;
    if (!parts) return E_POINTER;
    cl::com_ptr<CDO::IBodyPart> part;
    result = parts->Add(-1, part.put());
    if (result != S_OK) return result;
    if (!part) return E_POINTER;
    cl::com_ptr<CDO::Fields> fields;
    result = part->get_Fields(fields.put());
    if (result != S_OK) return result;

    const std::wstring name(file_name ? file_name : L"", file_name ? ::SysStringLen(file_name) : 0);
    result = set_string_field(fields.get(), L"urn:schemas:mailheader:content-disposition",
                              L"attachment; filename=\"" + name + L"\"");
    if (result != S_OK) return result;
    result = set_string_field(fields.get(), L"urn:schemas:mailheader:content-type", mime_type_of(name));
    if (result != S_OK) return result;
    result = fields->Update();
    if (result != S_OK) return result;

    cl::com_ptr<CDO::_Stream> stream;
    result = part->GetDecodedContentStream(stream.put());
    if (result != S_OK) return result;
    if (!stream) return E_POINTER;
    stream->put_Type(CDO::adTypeBinary);
    result = stream->Write(content);
    if (result != S_OK) return result;
    return stream->Flush();
}

void add_file_attachment(mail_message& mail, const std::wstring& path, const std::wstring& file_name) {
    if (path.empty()) return;
    cl::file_stream file(4096);
    if (!file.open(path, cl::o_rdonly | cl::o_binary | cl::o_sequential, cl::sh_denywr)) return;
    const std::int64_t size = file.size();
    if (size < 0) return;  // a file that cannot be measured cannot be read safely either
    const std::int64_t count = std::min(size, max_attachment_bytes);

    owned_variant content;
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count));
    if (!array) return;
    content.get().vt = VT_ARRAY | VT_UI1;
    content.get().parray = array;
    {
        array_data_lock lock(array);
        if (count > 0 && !lock.data()) return;
        std::int64_t done = 0;
        while (done < count) {
            const std::int64_t got = file.read(lock.data() + done, count - done);
            if (got <= 0) break;
            done += got;
        }
        // A file that shrank while being read: the missing bytes are zeros.
        if (done < count) std::memset(lock.data() + done, 0, static_cast<std::size_t>(count - done));
    }
    cl::unique_bstr name = make_bstr(file_name);
    if (mail.ready) add_attachment(mail, content.get(), name.get());
    file.close();
}

}  // namespace tolvarn
