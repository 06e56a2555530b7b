#include "mail/send_mail_com.h"

namespace zankit {

SendMailObject::SendMailObject()
    : DispatchObject(IID__clsSendMail, L"ZanKit.clsSendMail"),
      events_(static_cast<_clsSendMail*>(this), CLSID_clsSendMail, DIID___clsSendMail) {}

// The mail members are not wired to the mail core yet: each answers E_NOTIMPL.
STDMETHODIMP SendMailObject::get_AsHTML(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_AsHTML(VARIANT_BOOL) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Attachment(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Attachment(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_BccRecipient(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_BccRecipient(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_CcDisplayName(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_CcDisplayName(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_CcRecipient(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_CcRecipient(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_ConnectRetry(LONG*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_ConnectRetry(LONG) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_ConnectTimeout(LONG*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_ConnectTimeout(LONG) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_ContentBase(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_ContentBase(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Delimiter(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Delimiter(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_EmailAddressValidation(VALIDATE_METHOD*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_EmailAddressValidation(VALIDATE_METHOD) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_EncodeType(ENCODE_METHOD*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_EncodeType(ENCODE_METHOD) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_from(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_from(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_FromDisplayName(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_FromDisplayName(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_MaxRecipients(LONG*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_MaxRecipients(LONG) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Message(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Message(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_MessageTimeout(LONG*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_MessageTimeout(LONG) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Password(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Password(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_PersistentSettings(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_PersistentSettings(VARIANT_BOOL) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Priority(MAIL_PRIORITY*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Priority(MAIL_PRIORITY) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Receipt(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Receipt(VARIANT_BOOL) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Recipient(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Recipient(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_RecipientDisplayName(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_RecipientDisplayName(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_ReplyToAddress(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_ReplyToAddress(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_POP3Host(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_POP3Host(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_SMTPHost(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_SMTPHost(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_SMTPHostValidation(VALIDATE_HOST_METHOD*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_SMTPHostValidation(VALIDATE_HOST_METHOD) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_SMTPPort(LONG*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_SMTPPort(LONG) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Subject(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Subject(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_UseAuthentication(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_UseAuthentication(VARIANT_BOOL) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_UsePopAuthentication(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_UsePopAuthentication(VARIANT_BOOL) { return NotBuilt(); }
STDMETHODIMP SendMailObject::get_Username(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::put_Username(BSTR) { return NotBuilt(); }
STDMETHODIMP SendMailObject::Connect(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::Disconnect() { return NotBuilt(); }
STDMETHODIMP SendMailObject::GetContentType(BSTR, BSTR*, BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::GetIPAddress(BSTR*, BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::GetIPHost(BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::IsValidEmailAddress(BSTR*, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::MXQuery(BSTR*, BSTR*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::Ping(BSTR*, BSTR*, BSTR*, VARIANT_BOOL*, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP SendMailObject::Send() { return NotBuilt(); }
STDMETHODIMP SendMailObject::DecodeBase64String(BSTR, BSTR*) { return NotBuilt(); }
HRESULT CreateSendMail(REFIID iid, void** out) { return CreateAndQuery<SendMailObject>(iid, out); }

}  // namespace zankit
