// clsSendMail as a COM class: the dual interface _clsSendMail and the events of
// __clsSendMail through a connection point. The mail logic itself is portable and lives in
// the mail core; this class converts at the boundary (UTF-16 <-> ANSI bytes) and fires the
// core's events to the advised sinks.
#pragma once

#include "frame/dispatch_object.h"
#include "frame/event_source.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class SendMailObject final : public DispatchObject<_clsSendMail> {
public:
    SendMailObject();

    STDMETHODIMP get_AsHTML(VARIANT_BOOL *pValue) override;
    STDMETHODIMP put_AsHTML(VARIANT_BOOL value) override;
    STDMETHODIMP get_Attachment(BSTR *pValue) override;
    STDMETHODIMP put_Attachment(BSTR value) override;
    STDMETHODIMP get_BccRecipient(BSTR *pValue) override;
    STDMETHODIMP put_BccRecipient(BSTR value) override;
    STDMETHODIMP get_CcDisplayName(BSTR *pValue) override;
    STDMETHODIMP put_CcDisplayName(BSTR value) override;
    STDMETHODIMP get_CcRecipient(BSTR *pValue) override;
    STDMETHODIMP put_CcRecipient(BSTR value) override;
    STDMETHODIMP get_ConnectRetry(LONG *pValue) override;
    STDMETHODIMP put_ConnectRetry(LONG value) override;
    STDMETHODIMP get_ConnectTimeout(LONG *pValue) override;
    STDMETHODIMP put_ConnectTimeout(LONG value) override;
    STDMETHODIMP get_ContentBase(BSTR *pValue) override;
    STDMETHODIMP put_ContentBase(BSTR value) override;
    STDMETHODIMP get_Delimiter(BSTR *pValue) override;
    STDMETHODIMP put_Delimiter(BSTR value) override;
    STDMETHODIMP get_EmailAddressValidation(VALIDATE_METHOD *pValue) override;
    STDMETHODIMP put_EmailAddressValidation(VALIDATE_METHOD value) override;
    STDMETHODIMP get_EncodeType(ENCODE_METHOD *pValue) override;
    STDMETHODIMP put_EncodeType(ENCODE_METHOD value) override;
    STDMETHODIMP get_from(BSTR *pValue) override;
    STDMETHODIMP put_from(BSTR value) override;
    STDMETHODIMP get_FromDisplayName(BSTR *pValue) override;
    STDMETHODIMP put_FromDisplayName(BSTR value) override;
    STDMETHODIMP get_MaxRecipients(LONG *pValue) override;
    STDMETHODIMP put_MaxRecipients(LONG value) override;
    STDMETHODIMP get_Message(BSTR *pValue) override;
    STDMETHODIMP put_Message(BSTR value) override;
    STDMETHODIMP get_MessageTimeout(LONG *pValue) override;
    STDMETHODIMP put_MessageTimeout(LONG value) override;
    STDMETHODIMP get_Password(BSTR *pValue) override;
    STDMETHODIMP put_Password(BSTR value) override;
    STDMETHODIMP get_PersistentSettings(VARIANT_BOOL *pValue) override;
    STDMETHODIMP put_PersistentSettings(VARIANT_BOOL value) override;
    STDMETHODIMP get_Priority(MAIL_PRIORITY *pValue) override;
    STDMETHODIMP put_Priority(MAIL_PRIORITY value) override;
    STDMETHODIMP get_Receipt(VARIANT_BOOL *pValue) override;
    STDMETHODIMP put_Receipt(VARIANT_BOOL value) override;
    STDMETHODIMP get_Recipient(BSTR *pValue) override;
    STDMETHODIMP put_Recipient(BSTR value) override;
    STDMETHODIMP get_RecipientDisplayName(BSTR *pValue) override;
    STDMETHODIMP put_RecipientDisplayName(BSTR value) override;
    STDMETHODIMP get_ReplyToAddress(BSTR *pValue) override;
    STDMETHODIMP put_ReplyToAddress(BSTR value) override;
    STDMETHODIMP get_POP3Host(BSTR *pValue) override;
    STDMETHODIMP put_POP3Host(BSTR *value) override;
    STDMETHODIMP get_SMTPHost(BSTR *pValue) override;
    STDMETHODIMP put_SMTPHost(BSTR *value) override;
    STDMETHODIMP get_SMTPHostValidation(VALIDATE_HOST_METHOD *pValue) override;
    STDMETHODIMP put_SMTPHostValidation(VALIDATE_HOST_METHOD value) override;
    STDMETHODIMP get_SMTPPort(LONG *pValue) override;
    STDMETHODIMP put_SMTPPort(LONG value) override;
    STDMETHODIMP get_Subject(BSTR *pValue) override;
    STDMETHODIMP put_Subject(BSTR value) override;
    STDMETHODIMP get_UseAuthentication(VARIANT_BOOL *pValue) override;
    STDMETHODIMP put_UseAuthentication(VARIANT_BOOL value) override;
    STDMETHODIMP get_UsePopAuthentication(VARIANT_BOOL *pValue) override;
    STDMETHODIMP put_UsePopAuthentication(VARIANT_BOOL value) override;
    STDMETHODIMP get_Username(BSTR *pValue) override;
    STDMETHODIMP put_Username(BSTR value) override;
    STDMETHODIMP Connect(VARIANT_BOOL *pResult) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP GetContentType(BSTR strFile, BSTR *strDefault, BSTR *pResult) override;
    STDMETHODIMP GetIPAddress(BSTR *sHostName, BSTR *pResult) override;
    STDMETHODIMP GetIPHost(BSTR *pResult) override;
    STDMETHODIMP IsValidEmailAddress(BSTR *AddressString, VARIANT_BOOL *pResult) override;
    STDMETHODIMP MXQuery(BSTR *IPDomain, BSTR *pResult) override;
    STDMETHODIMP Ping(BSTR *Address, BSTR *RoundTripTime, BSTR *DataSize, VARIANT_BOOL *DataMatch, VARIANT_BOOL *pResult) override;
    STDMETHODIMP Send() override;
    STDMETHODIMP DecodeBase64String(BSTR str2Decode, BSTR *pResult) override;
protected:
    void* QueryOtherInterface(REFIID riid) override { return events_.Find(riid); }

private:
    EventSource events_;
};

HRESULT CreateSendMail(REFIID iid, void** out);

}  // namespace zankit
