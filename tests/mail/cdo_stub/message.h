// The stand-in message object (class Message, object "message"). Records the header properties
// and the text body it is given (nothing is kept), gives its field collection, its own body part
// ("message.body") and its attachment collection (all three owned, made with it), keeps a
// reference on the configuration given to put_Configuration, and records Send with the
// configuration it would use and the live-object count; Send waits the configured delay. The rest
// is recorded as not implemented.
#pragma once

#include "body_part.h"
#include "body_parts.h"
#include "cdo_headers.h"
#include "com_object.h"
#include "fields.h"

#include <string>
#include <vector>

namespace stub {

class message : public com_object<CDO::IMessage> {
public:
    // Takes the next message serial. Throws std::bad_alloc when out of memory.
    message();
    ~message() override;

    HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) override { return put_header(L"put_BCC", value); }
    HRESULT STDMETHODCALLTYPE put_CC(BSTR value) override { return put_header(L"put_CC", value); }
    HRESULT STDMETHODCALLTYPE put_FollowUpTo(BSTR value) override { return put_header(L"put_FollowUpTo", value); }
    HRESULT STDMETHODCALLTYPE put_From(BSTR value) override { return put_header(L"put_From", value); }
    HRESULT STDMETHODCALLTYPE put_ReplyTo(BSTR value) override { return put_header(L"put_ReplyTo", value); }
    HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) override { return put_header(L"put_Subject", value); }
    HRESULT STDMETHODCALLTYPE put_To(BSTR value) override { return put_header(L"put_To", value); }
    HRESULT STDMETHODCALLTYPE put_TextBody(BSTR value) override { return put_header(L"put_TextBody", value); }
    HRESULT STDMETHODCALLTYPE get_Attachments(CDO::IBodyParts** varAttachments) override;
    HRESULT STDMETHODCALLTYPE put_Configuration(CDO::IConfiguration* varConfiguration) override;
    HRESULT STDMETHODCALLTYPE get_BodyPart(CDO::IBodyPart** varBodyPart) override;
    HRESULT STDMETHODCALLTYPE get_Fields(CDO::Fields** varFields) override;
    HRESULT STDMETHODCALLTYPE Send() override;

    HRESULT STDMETHODCALLTYPE get_BCC(BSTR*) override { return not_implemented(L"get_BCC"); }
    HRESULT STDMETHODCALLTYPE get_CC(BSTR*) override { return not_implemented(L"get_CC"); }
    HRESULT STDMETHODCALLTYPE get_FollowUpTo(BSTR*) override { return not_implemented(L"get_FollowUpTo"); }
    HRESULT STDMETHODCALLTYPE get_From(BSTR*) override { return not_implemented(L"get_From"); }
    HRESULT STDMETHODCALLTYPE get_Keywords(BSTR*) override { return not_implemented(L"get_Keywords"); }
    HRESULT STDMETHODCALLTYPE put_Keywords(BSTR) override { return not_implemented(L"put_Keywords"); }
    HRESULT STDMETHODCALLTYPE get_MimeFormatted(VARIANT_BOOL*) override { return not_implemented(L"get_MimeFormatted"); }
    HRESULT STDMETHODCALLTYPE put_MimeFormatted(VARIANT_BOOL) override { return not_implemented(L"put_MimeFormatted"); }
    HRESULT STDMETHODCALLTYPE get_Newsgroups(BSTR*) override { return not_implemented(L"get_Newsgroups"); }
    HRESULT STDMETHODCALLTYPE put_Newsgroups(BSTR) override { return not_implemented(L"put_Newsgroups"); }
    HRESULT STDMETHODCALLTYPE get_Organization(BSTR*) override { return not_implemented(L"get_Organization"); }
    HRESULT STDMETHODCALLTYPE put_Organization(BSTR) override { return not_implemented(L"put_Organization"); }
    HRESULT STDMETHODCALLTYPE get_ReceivedTime(DATE*) override { return not_implemented(L"get_ReceivedTime"); }
    HRESULT STDMETHODCALLTYPE get_ReplyTo(BSTR*) override { return not_implemented(L"get_ReplyTo"); }
    HRESULT STDMETHODCALLTYPE get_DSNOptions(CDO::CdoDSNOptions*) override { return not_implemented(L"get_DSNOptions"); }
    HRESULT STDMETHODCALLTYPE put_DSNOptions(CDO::CdoDSNOptions) override { return not_implemented(L"put_DSNOptions"); }
    HRESULT STDMETHODCALLTYPE get_SentOn(DATE*) override { return not_implemented(L"get_SentOn"); }
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR*) override { return not_implemented(L"get_Subject"); }
    HRESULT STDMETHODCALLTYPE get_To(BSTR*) override { return not_implemented(L"get_To"); }
    HRESULT STDMETHODCALLTYPE get_TextBody(BSTR*) override { return not_implemented(L"get_TextBody"); }
    HRESULT STDMETHODCALLTYPE get_HTMLBody(BSTR*) override { return not_implemented(L"get_HTMLBody"); }
    HRESULT STDMETHODCALLTYPE put_HTMLBody(BSTR) override { return not_implemented(L"put_HTMLBody"); }
    HRESULT STDMETHODCALLTYPE get_Sender(BSTR*) override { return not_implemented(L"get_Sender"); }
    HRESULT STDMETHODCALLTYPE put_Sender(BSTR) override { return not_implemented(L"put_Sender"); }
    HRESULT STDMETHODCALLTYPE get_Configuration(CDO::IConfiguration**) override {
        return not_implemented(L"get_Configuration");
    }
    HRESULT STDMETHODCALLTYPE putref_Configuration(CDO::IConfiguration*) override {
        return not_implemented(L"putref_Configuration");
    }
    HRESULT STDMETHODCALLTYPE get_AutoGenerateTextBody(VARIANT_BOOL*) override {
        return not_implemented(L"get_AutoGenerateTextBody");
    }
    HRESULT STDMETHODCALLTYPE put_AutoGenerateTextBody(VARIANT_BOOL) override {
        return not_implemented(L"put_AutoGenerateTextBody");
    }
    HRESULT STDMETHODCALLTYPE get_EnvelopeFields(CDO::Fields**) override { return not_implemented(L"get_EnvelopeFields"); }
    HRESULT STDMETHODCALLTYPE get_TextBodyPart(CDO::IBodyPart**) override { return not_implemented(L"get_TextBodyPart"); }
    HRESULT STDMETHODCALLTYPE get_HTMLBodyPart(CDO::IBodyPart**) override { return not_implemented(L"get_HTMLBodyPart"); }
    HRESULT STDMETHODCALLTYPE get_DataSource(CDO::IDataSource**) override { return not_implemented(L"get_DataSource"); }
    HRESULT STDMETHODCALLTYPE get_MDNRequested(VARIANT_BOOL*) override { return not_implemented(L"get_MDNRequested"); }
    HRESULT STDMETHODCALLTYPE put_MDNRequested(VARIANT_BOOL) override { return not_implemented(L"put_MDNRequested"); }
    HRESULT STDMETHODCALLTYPE AddRelatedBodyPart(BSTR, BSTR, CDO::CdoReferenceType, BSTR, BSTR, CDO::IBodyPart**) override {
        return not_implemented(L"AddRelatedBodyPart");
    }
    HRESULT STDMETHODCALLTYPE AddAttachment(BSTR, BSTR, BSTR, CDO::IBodyPart**) override {
        return not_implemented(L"AddAttachment");
    }
    HRESULT STDMETHODCALLTYPE CreateMHTMLBody(BSTR, CDO::CdoMHTMLFlags, BSTR, BSTR) override {
        return not_implemented(L"CreateMHTMLBody");
    }
    HRESULT STDMETHODCALLTYPE Forward(CDO::IMessage**) override { return not_implemented(L"Forward"); }
    HRESULT STDMETHODCALLTYPE Post() override { return not_implemented(L"Post"); }
    HRESULT STDMETHODCALLTYPE PostReply(CDO::IMessage**) override { return not_implemented(L"PostReply"); }
    HRESULT STDMETHODCALLTYPE Reply(CDO::IMessage**) override { return not_implemented(L"Reply"); }
    HRESULT STDMETHODCALLTYPE ReplyAll(CDO::IMessage**) override { return not_implemented(L"ReplyAll"); }
    HRESULT STDMETHODCALLTYPE GetStream(CDO::_Stream**) override { return not_implemented(L"GetStream"); }
    HRESULT STDMETHODCALLTYPE GetInterface(BSTR, IDispatch**) override { return not_implemented(L"GetInterface"); }

private:
    bool answers(REFIID riid) const noexcept override;
    HRESULT put_header(const wchar_t* method, BSTR value) noexcept;
    // The record fields naming a configuration: its kind ("stub", "foreign" or "null") and its
    // serial (0 unless a stand-in configuration).
    static std::vector<std::wstring> describe_configuration(CDO::IConfiguration* config);

    fields* fields_;
    body_part* body_;
    body_parts* attachments_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CDO::IConfiguration* configuration_ = nullptr;
};

}  // namespace stub
