// clsSendMail as a COM class: the dual interface _clsSendMail and the events of
// __clsSendMail through a connection point. The mail logic itself is portable and lives in
// the mail core; this class converts at the boundary (UTF-16 <-> the core's UTF-8)
// and fires the core's events to the advised sinks.
#pragma once

#include <memory>
#include <string>

#include "frame/dispatch_object.h"
#include "frame/event_source.h"
#include "frame/zankit_interfaces.h"
#include "mail/mail_core.h"

namespace zankit::mail {

class SendMailObject final : public DispatchObject<_clsSendMail>, private MailEvents {
public:
    SendMailObject();
    ~SendMailObject() override;

    STDMETHODIMP get_AsHTML(VARIANT_BOOL* value) override;
    STDMETHODIMP put_AsHTML(VARIANT_BOOL value) override;
    STDMETHODIMP get_Attachment(BSTR* value) override;
    STDMETHODIMP put_Attachment(BSTR value) override;
    STDMETHODIMP get_BccRecipient(BSTR* value) override;
    STDMETHODIMP put_BccRecipient(BSTR value) override;
    STDMETHODIMP get_CcDisplayName(BSTR* value) override;
    STDMETHODIMP put_CcDisplayName(BSTR value) override;
    STDMETHODIMP get_CcRecipient(BSTR* value) override;
    STDMETHODIMP put_CcRecipient(BSTR value) override;
    STDMETHODIMP get_ConnectRetry(LONG* value) override;
    STDMETHODIMP put_ConnectRetry(LONG value) override;
    STDMETHODIMP get_ConnectTimeout(LONG* value) override;
    STDMETHODIMP put_ConnectTimeout(LONG value) override;
    STDMETHODIMP get_ContentBase(BSTR* value) override;
    STDMETHODIMP put_ContentBase(BSTR value) override;
    STDMETHODIMP get_Delimiter(BSTR* value) override;
    STDMETHODIMP put_Delimiter(BSTR value) override;
    STDMETHODIMP get_EmailAddressValidation(VALIDATE_METHOD* value) override;
    STDMETHODIMP put_EmailAddressValidation(VALIDATE_METHOD value) override;
    STDMETHODIMP get_EncodeType(ENCODE_METHOD* value) override;
    STDMETHODIMP put_EncodeType(ENCODE_METHOD value) override;
    STDMETHODIMP get_from(BSTR* value) override;
    STDMETHODIMP put_from(BSTR value) override;
    STDMETHODIMP get_FromDisplayName(BSTR* value) override;
    STDMETHODIMP put_FromDisplayName(BSTR value) override;
    STDMETHODIMP get_MaxRecipients(LONG* value) override;
    STDMETHODIMP put_MaxRecipients(LONG value) override;
    STDMETHODIMP get_Message(BSTR* value) override;
    STDMETHODIMP put_Message(BSTR value) override;
    STDMETHODIMP get_MessageTimeout(LONG* value) override;
    STDMETHODIMP put_MessageTimeout(LONG value) override;
    STDMETHODIMP get_Password(BSTR* value) override;
    STDMETHODIMP put_Password(BSTR value) override;
    STDMETHODIMP get_PersistentSettings(VARIANT_BOOL* value) override;
    STDMETHODIMP put_PersistentSettings(VARIANT_BOOL value) override;
    STDMETHODIMP get_Priority(MAIL_PRIORITY* value) override;
    STDMETHODIMP put_Priority(MAIL_PRIORITY value) override;
    STDMETHODIMP get_Receipt(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Receipt(VARIANT_BOOL value) override;
    STDMETHODIMP get_Recipient(BSTR* value) override;
    STDMETHODIMP put_Recipient(BSTR value) override;
    STDMETHODIMP get_RecipientDisplayName(BSTR* value) override;
    STDMETHODIMP put_RecipientDisplayName(BSTR value) override;
    STDMETHODIMP get_ReplyToAddress(BSTR* value) override;
    STDMETHODIMP put_ReplyToAddress(BSTR value) override;
    STDMETHODIMP get_POP3Host(BSTR* value) override;
    STDMETHODIMP put_POP3Host(BSTR* value) override;
    STDMETHODIMP get_SMTPHost(BSTR* value) override;
    STDMETHODIMP put_SMTPHost(BSTR* value) override;
    STDMETHODIMP get_SMTPHostValidation(VALIDATE_HOST_METHOD* value) override;
    STDMETHODIMP put_SMTPHostValidation(VALIDATE_HOST_METHOD value) override;
    STDMETHODIMP get_SMTPPort(LONG* value) override;
    STDMETHODIMP put_SMTPPort(LONG value) override;
    STDMETHODIMP get_Subject(BSTR* value) override;
    STDMETHODIMP put_Subject(BSTR value) override;
    STDMETHODIMP get_UseAuthentication(VARIANT_BOOL* value) override;
    STDMETHODIMP put_UseAuthentication(VARIANT_BOOL value) override;
    STDMETHODIMP get_UsePopAuthentication(VARIANT_BOOL* value) override;
    STDMETHODIMP put_UsePopAuthentication(VARIANT_BOOL value) override;
    STDMETHODIMP get_Username(BSTR* value) override;
    STDMETHODIMP put_Username(BSTR value) override;

    STDMETHODIMP Connect(VARIANT_BOOL* result) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP GetContentType(BSTR file, BSTR* defaultType, BSTR* result) override;
    STDMETHODIMP GetIPAddress(BSTR* hostName, BSTR* result) override;
    STDMETHODIMP GetIPHost(BSTR* result) override;
    STDMETHODIMP IsValidEmailAddress(BSTR* address, VARIANT_BOOL* result) override;
    STDMETHODIMP MXQuery(BSTR* domain, BSTR* result) override;
    STDMETHODIMP Ping(BSTR* address, BSTR* roundTripTime, BSTR* dataSize, VARIANT_BOOL* dataMatch,
                      VARIANT_BOOL* result) override;
    STDMETHODIMP Send() override;
    STDMETHODIMP DecodeBase64String(BSTR encoded, BSTR* result) override;
    STDMETHODIMP get_Security(MAIL_SECURITY* value) override;
    STDMETHODIMP put_Security(MAIL_SECURITY value) override;
    STDMETHODIMP get_AllowInvalidCertificate(VARIANT_BOOL* value) override;
    STDMETHODIMP put_AllowInvalidCertificate(VARIANT_BOOL value) override;
    STDMETHODIMP get_AuthMechanism(AUTH_MECHANISM* value) override;
    STDMETHODIMP put_AuthMechanism(AUTH_MECHANISM value) override;
    STDMETHODIMP get_AccessToken(BSTR* value) override;
    STDMETHODIMP put_AccessToken(BSTR value) override;
    STDMETHODIMP get_OAuthTokenUrl(BSTR* value) override;
    STDMETHODIMP put_OAuthTokenUrl(BSTR value) override;
    STDMETHODIMP get_OAuthDeviceCodeUrl(BSTR* value) override;
    STDMETHODIMP put_OAuthDeviceCodeUrl(BSTR value) override;
    STDMETHODIMP get_OAuthAuthorizeUrl(BSTR* value) override;
    STDMETHODIMP put_OAuthAuthorizeUrl(BSTR value) override;
    STDMETHODIMP get_OAuthClientId(BSTR* value) override;
    STDMETHODIMP put_OAuthClientId(BSTR value) override;
    STDMETHODIMP get_OAuthClientSecret(BSTR* value) override;
    STDMETHODIMP put_OAuthClientSecret(BSTR value) override;
    STDMETHODIMP get_OAuthScope(BSTR* value) override;
    STDMETHODIMP put_OAuthScope(BSTR value) override;
    STDMETHODIMP get_OAuthRefreshToken(BSTR* value) override;
    STDMETHODIMP put_OAuthRefreshToken(BSTR value) override;
    STDMETHODIMP get_OAuthTokenExpires(DATE* value) override;
    STDMETHODIMP OAuthSignIn(OAUTH_FLOW flow, VARIANT_BOOL* result) override;

protected:
    void* QueryOtherInterface(REFIID riid) override { return events_.Find(riid); }

private:
    // MailEvents: the core's events go to the advised sinks.
    void SendSuccesful() override;
    void SendFailed(std::string& explanation) override;
    void Status(std::string& status) override;
    void Progress(long& percentComplete) override;
    void OAuthUserCode(std::string& verificationUri, std::string& userCode, std::string& message) override;
    void FireText(std::wstring_view eventName, std::string& text);
    // The MX query with its Status events; "" when nothing is found.
    std::string QueryExchanger(const std::string& domain);

    MailSettings& Settings() { return core_->Settings(); }
    // Runs a setter or another step without an answer, guarded like every member.
    template <typename Step>
    HRESULT Update(Step&& step) {
        return Guarded([&] {
            step();
            return S_OK;
        });
    }

    EventSource events_;
    std::unique_ptr<SendMailCore> core_;
};

HRESULT CreateSendMail(REFIID iid, void** out);

}  // namespace zankit::mail
