// Attachments of the notification e-mail, sent through the recording CDO stand-in: the bytes
// taken from each file, files that are skipped, content types from the registry or the extension,
// and attachment steps that fail.
#include "mail/send_mail_fixture.h"

#include "cl/base/unique_handle.h"

#include <string>
#include <vector>

namespace {

using namespace mail_test;

const std::size_t max_bytes = 1048576;

// An extension key under HKEY_CLASSES_ROOT with a "Content Type" value of the given type and raw
// bytes, removed again by the destructor.
class extension_key {
public:
    extension_key(const std::wstring& extension, DWORD type, const void* data, DWORD bytes) : name_(L"." + extension) {
        cl::unique_reg_key key;
        status_ = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, name_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (status_ == ERROR_SUCCESS)
            status_ = ::RegSetValueExW(key.get(), L"Content Type", 0, type, static_cast<const BYTE*>(data), bytes);
    }
    ~extension_key() { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, name_.c_str()); }
    extension_key(const extension_key&) = delete;
    extension_key& operator=(const extension_key&) = delete;
    LSTATUS status() const { return status_; }

private:
    std::wstring name_;
    LSTATUS status_;
};

bool key_exists(const std::wstring& name) {
    cl::unique_reg_key key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool has_content_type(const std::wstring& name) {
    cl::unique_reg_key key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExW(key.get(), L"Content Type", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// ---- attachments -------------------------------------------------------------------------------

// The bytes written for each attachment and its two header fields, in order.
struct attachment_record {
    std::wstring disposition;
    std::wstring type;
    std::vector<unsigned char> bytes;
    bool written = false;
};

std::vector<attachment_record> attachments_of(const std::vector<cdo_stub::entry>& all) {
    std::vector<attachment_record> out;
    for (const cdo_stub::entry& e : all) {
        if (e.call == L"IBodyParts::Add") out.emplace_back();
        if (out.empty()) continue;
        if (e.call == L"Field::put_Value" && e.object.compare(0, 18, L"message.attachment") == 0) {
            if (e.arg(0) == disposition_field) out.back().disposition = e.arg(2);
            if (e.arg(0) == type_field) out.back().type = e.arg(2);
        }
        if (e.call == L"_Stream::Write") {
            EXPECT_EQ(vt_byte_array, e.arg(0));
            EXPECT_EQ(L"0", e.arg(3)) << "lower bound";
            out.back().bytes = cdo_stub::hex_bytes(e.arg(2));
            EXPECT_EQ(std::to_wstring(out.back().bytes.size()), e.arg(1));
            out.back().written = true;
        }
    }
    return out;
}

TEST_F(SendMail, AttachmentsCarryTheirBytesUpToOneMebibyte) {
    const std::vector<unsigned char> big = pattern_bytes(max_bytes + 1);
    const std::vector<unsigned char> exact(big.begin(), big.begin() + max_bytes);
    ASSERT_TRUE(::CreateDirectoryW((folder_ + L"folder.txt").c_str(), nullptr));
    mail m;
    m.attachments = {
        file(L"empty.txt", {}),
        folder_ + L"missing.txt",
        file(L"exact.bin", exact),
        L"",
        folder_ + L"folder.txt",
        file(L"over.bin", big),
    };
    send_recorded(m);

    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(3u, parts.size());
    EXPECT_EQ(L"attachment; filename=\"empty.txt\"", parts[0].disposition);
    EXPECT_EQ(L"text/plain", parts[0].type);
    EXPECT_TRUE(parts[0].written);
    EXPECT_TRUE(parts[0].bytes.empty());
    EXPECT_EQ(L"attachment; filename=\"exact.bin\"", parts[1].disposition);
    EXPECT_TRUE(parts[1].bytes == exact) << parts[1].bytes.size() << " bytes";
    EXPECT_EQ(L"attachment; filename=\"over.bin\"", parts[2].disposition);
    EXPECT_TRUE(parts[2].bytes == exact) << parts[2].bytes.size() << " bytes";
    EXPECT_EQ(3u, calls(L"_Stream::Flush").size());
    // The missing file, the empty path and the folder are skipped without a word.
    EXPECT_TRUE(sent());
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

TEST_F(SendMail, TheContentTypeComesFromTheRegistryOrTheExtension) {
    ASSERT_FALSE(key_exists(L".Qqx9")) << "the test needs an extension without registry entry";
    const wchar_t expand[] = L"application/%x-expand%";
    const wchar_t two_nuls[] = L"text/x-two\0\0";
    const std::wstring long_type = L"application/x-" + std::wstring(300, L'l');
    const DWORD dword = 7;
    extension_key zzz(L"zzz", REG_SZ, L"application/x-test", sizeof L"application/x-test");
    extension_key zzy(L"zzy", REG_EXPAND_SZ, expand, sizeof expand);
    extension_key zzn(L"zzn", REG_SZ, two_nuls, sizeof two_nuls);
    extension_key zzl(L"zzl", REG_SZ, long_type.c_str(), static_cast<DWORD>((long_type.size() + 1) * sizeof(wchar_t)));
    extension_key zzd(L"zzd", REG_DWORD, &dword, sizeof dword);
    extension_key zze(L"zze", REG_SZ, L"", sizeof L"");
    for (const extension_key* key : {&zzz, &zzy, &zzn, &zzl, &zzd, &zze}) ASSERT_EQ(ERROR_SUCCESS, key->status());

    // A path whose only dot belongs to a folder name, and a file that has no extension.
    const std::wstring dotted = folder_ + L"dir.d\\";
    ASSERT_TRUE(::CreateDirectoryW(dotted.c_str(), nullptr));
    struct {
        std::wstring path;
        std::wstring name;
        std::wstring type;
    } cases[] = {
        {file(L"a.txt", {1}), L"a.txt", L"text/plain"},
        {file(L"b.zzz", {2}), L"b.zzz", L"application/x-test"},
        {file(L"c.ZZZ", {3}), L"c.ZZZ", L"application/x-test"},
        {file(L"d.zzy", {4}), L"d.zzy", expand},
        {file(L"e.zzn", {5}), L"e.zzn", L"text/x-two"},
        {file(L"f.zzl", {6}), L"f.zzl", long_type},
        {file(L"g.zzd", {7}), L"g.zzd", L"application/zzd"},
        {file(L"h.zze", {8}), L"h.zze", L"application/zze"},
        {file(L"DATA.Qqx9", {9}), L"DATA.Qqx9", L"application/Qqx9"},
        {file(L"noext", {10}), L"noext", L"application/octet-stream"},
        {file(L"dir.d\\plain", {11}), L"plain", L"application/octet-stream"},
        // A forward slash does not separate: it stays in the name.
        {folder_ + L"dir.d/a.txt", L"dir.d/a.txt", L"text/plain"},
    };
    ASSERT_TRUE(write_file(dotted + L"a.txt", {12}));
    // The suffix rule applies to a key "." only when the registry has none.
    const bool dot_key_has_type = has_content_type(L".");

    mail m;
    for (const auto& c : cases) m.attachments.push_back(c.path);
    send_recorded(m);

    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(sizeof cases / sizeof cases[0], parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "attachment " << i);
        EXPECT_EQ(L"attachment; filename=\"" + cases[i].name + L"\"", parts[i].disposition);
        if (cases[i].type != L"application/octet-stream" || !dot_key_has_type) {
            EXPECT_EQ(cases[i].type, parts[i].type);
        }
        EXPECT_EQ(1u, parts[i].bytes.size());
    }
}

TEST_F(SendMail, ADriveRelativePathIsNamedByTheTextBehindTheColon) {
    // "X:name" is name in the current folder of drive X.
    const std::wstring drive = folder_.substr(0, 2);
    ASSERT_EQ(L':', drive[1]);
    wchar_t previous[MAX_PATH];
    ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, previous));
    file(L"colon.txt", {1, 2, 3});
    ASSERT_TRUE(::SetCurrentDirectoryW(folder_.c_str()));
    mail m;
    m.attachments = {drive + L"colon.txt"};
    send_recorded(m);
    ::SetCurrentDirectoryW(previous);

    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(1u, parts.size());
    EXPECT_EQ(L"attachment; filename=\"colon.txt\"", parts[0].disposition);
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), parts[0].bytes);
}

TEST_F(SendMail, AFileLockedAgainstReadingIsSkippedSilently) {
    const std::wstring locked = file(L"locked.txt", {1});
    cl::unique_file_handle holder(
        ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    mail m;
    m.attachments = {locked, file(L"free.txt", {2})};
    send_recorded(m);
    const std::vector<attachment_record> parts = attachments_of(entries());
    ASSERT_EQ(1u, parts.size());
    EXPECT_EQ(L"attachment; filename=\"free.txt\"", parts[0].disposition);
    EXPECT_TRUE(sent());
    EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
}

// Any non-zero result of an attachment step ends that attachment only; the mail still goes.
TEST_F(SendMail, AFailingAttachmentStepDropsTheAttachmentAndTheSendGoesOn) {
    struct {
        const wchar_t* fail;
        const wchar_t* last_call;  // the last attachment call made
        bool part_added;
    } cases[] = {
        {L"IMessage::get_Attachments=0x80004005", L"IMessage::get_Attachments", false},
        {L"IBodyParts::Add=0x80004005", L"IBodyParts::Add", false},
        {L"IBodyPart::get_Fields=1", L"IBodyPart::get_Fields", true},
        // A positive answer of get_Item counts as failure in a field write.
        {L"Fields::get_Item=1", L"Fields::get_Item", true},
        {L"Field::put_Value=0x80004005", L"Fields::Update", true},
        {L"Fields::Update=1", L"Fields::Update", true},
        {L"IBodyPart::GetDecodedContentStream=0x80004005", L"IBodyPart::GetDecodedContentStream", true},
        {L"_Stream::Write=0x8007000E", L"_Stream::Write", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << ascii(c.fail));
        ::DeleteFileW(record_.c_str());
        mail m;
        m.attachments = {file(L"a.txt", {1})};
        send_recorded(m, c.fail);
        const std::vector<cdo_stub::entry> all = entries();
        // The calls between the body and the transport settings.
        std::vector<std::wstring> attachment_calls;
        bool in = false;
        for (const cdo_stub::entry& e : all) {
            if (e.call == L"IMessage::put_TextBody") {
                in = true;
                continue;
            }
            if (in && e.object == L"configuration") break;
            if (in) attachment_calls.push_back(e.call);
        }
        ASSERT_FALSE(attachment_calls.empty());
        EXPECT_EQ(c.last_call, attachment_calls.back());
        EXPECT_TRUE(calls(L"_Stream::Flush").empty());
        EXPECT_EQ(c.part_added, !calls(L"IBodyParts::Add").empty() && calls(L"IBodyParts::Add")[0].result == S_OK);
        EXPECT_TRUE(sent());
        EXPECT_EQ(std::vector<std::string>(), log_collector::instance().take());
    }
}

}  // namespace
