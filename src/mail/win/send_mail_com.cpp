#include "mail/win/send_mail_com.h"

#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "frame/out_param.h"
#include "mail/dns/dns_discovery.h"
#include "mail/dns/mx_query.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

constexpr std::wstring_view kInvalidArgument = L"Invalid procedure call or argument";
// Raised by OAuthSignIn for every failure but the user's.
constexpr HRESULT kOAuthFailure = ObjectError(1100);

// The core's texts are UTF-8: the host's text crosses unchanged both ways.
HRESULT PutText(BSTR* out, const std::string& text) {
    if (!out) return E_POINTER;
    return ToBstr(CoreTextToWide(text), out);
}

std::string Text(BSTR value) { return WideToUtf8(FromBstr(value)); }

}  // namespace

SendMailObject::SendMailObject()
    : DispatchObject(IID__clsSendMail, L"ZanKit.clsSendMail"),
      events_(static_cast<_clsSendMail*>(this), CLSID_clsSendMail, DIID___clsSendMail),
      core_(std::make_unique<SendMailCore>(MakePlatformMailSystem(),
                                                 MakePlatformSettingsStore("Settings"),
                                                 static_cast<MailEvents&>(*this))) {
    // With no SMTP host set, the session sends to the exchanger of the machine's own domain.
    core_->Session().SetMxLookup([this] { return QueryExchanger(""); });
    // The Message-ID names the server by the host name of its address.
    core_->SetReverseLookup(
        [](const std::string& address) { return ReverseLookup(*MakePlatformDnsSystem(), address); });
}

SendMailObject::~SendMailObject() {
    // The object is going: nobody holds it any more, so its last events (the QUIT of an open
    // session) must not reach sinks that could call back into it.
    events_.DisconnectAll();
    core_.reset();
}

// ---- events ---------------------------------------------------------------------------------

void SendMailObject::SendSuccesful() { events_.Fire(L"SendSuccesful"); }

void SendMailObject::FireText(std::wstring_view eventName, std::string& text) {
    std::wstring value = CoreTextToWide(text);
    events_.Fire(eventName, value);
    try {
        text = WideToUtf8(value);  // a handler may have changed it
    } catch (const TextConversionError&) {
        // A change that is no text (a lone surrogate) is not taken.
    }
}

void SendMailObject::SendFailed(std::string& explanation) { FireText(L"SendFailed", explanation); }
void SendMailObject::Status(std::string& status) { FireText(L"Status", status); }

void SendMailObject::OAuthUserCode(std::string& verificationUri, std::string& userCode, std::string& message) {
    // Three [in, out] texts, last argument first; the sinks' changes are not read back.
    Bstr texts[] = {Bstr(CoreTextToWide(message)), Bstr(CoreTextToWide(userCode)),
                    Bstr(CoreTextToWide(verificationUri))};
    VARIANT args[3];
    for (int i = 0; i < 3; ++i) {
        VariantInit(&args[i]);
        V_VT(&args[i]) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&args[i]) = texts[i].InOut();
    }
    events_.Fire(L"OAuthUserCode", args, 3);
}

void SendMailObject::Progress(long& percentComplete) {
    LONG value = static_cast<LONG>(percentComplete);
    events_.Fire(L"Progress", value);
    percentComplete = value;
}

// ---- properties -----------------------------------------------------------------------------

STDMETHODIMP SendMailObject::get_AsHTML(VARIANT_BOOL* value) { return PutFlag(value, Settings().AsHTML()); }
STDMETHODIMP SendMailObject::put_AsHTML(VARIANT_BOOL value) {
    Settings().SetAsHTML(value != VARIANT_FALSE);
    return S_OK;
}
STDMETHODIMP SendMailObject::get_Attachment(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Attachment()); });
}
STDMETHODIMP SendMailObject::put_Attachment(BSTR value) {
    return Update([&] { Settings().SetAttachment(Text(value)); });
}
STDMETHODIMP SendMailObject::get_BccRecipient(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().BccRecipient()); });
}
STDMETHODIMP SendMailObject::put_BccRecipient(BSTR value) {
    return Update([&] { Settings().SetBccRecipient(Text(value)); });
}
STDMETHODIMP SendMailObject::get_CcDisplayName(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().CcDisplayName()); });
}
STDMETHODIMP SendMailObject::put_CcDisplayName(BSTR value) {
    return Update([&] { Settings().SetCcDisplayName(Text(value)); });
}
STDMETHODIMP SendMailObject::get_CcRecipient(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().CcRecipient()); });
}
STDMETHODIMP SendMailObject::put_CcRecipient(BSTR value) {
    return Update([&] { Settings().SetCcRecipient(Text(value)); });
}
STDMETHODIMP SendMailObject::get_ConnectRetry(LONG* value) { return PutNumber(value, Settings().ConnectRetry()); }
STDMETHODIMP SendMailObject::put_ConnectRetry(LONG value) {
    return Update([&] { Settings().SetConnectRetry(value); });
}
STDMETHODIMP SendMailObject::get_ConnectTimeout(LONG* value) { return PutNumber(value, Settings().ConnectTimeout()); }
STDMETHODIMP SendMailObject::put_ConnectTimeout(LONG value) {
    return Update([&] { Settings().SetConnectTimeout(value); });
}
STDMETHODIMP SendMailObject::get_ContentBase(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().ContentBase()); });
}
STDMETHODIMP SendMailObject::put_ContentBase(BSTR value) {
    return Update([&] { Settings().SetContentBase(Text(value)); });
}
STDMETHODIMP SendMailObject::get_Delimiter(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Delimiter()); });
}
STDMETHODIMP SendMailObject::put_Delimiter(BSTR value) {
    return Update([&] { Settings().SetDelimiter(Text(value)); });
}
STDMETHODIMP SendMailObject::get_EmailAddressValidation(VALIDATE_METHOD* value) {
    return PutNumber(value, Settings().EmailAddressValidation());
}
STDMETHODIMP SendMailObject::put_EmailAddressValidation(VALIDATE_METHOD value) {
    return Update([&] { Settings().SetEmailAddressValidation(value); });
}
STDMETHODIMP SendMailObject::get_EncodeType(ENCODE_METHOD* value) { return PutNumber(value, Settings().EncodeType()); }
STDMETHODIMP SendMailObject::put_EncodeType(ENCODE_METHOD value) {
    return Update([&] { Settings().SetEncodeType(value); });
}
STDMETHODIMP SendMailObject::get_from(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().From()); });
}
STDMETHODIMP SendMailObject::put_from(BSTR value) {
    return Update([&] { Settings().SetFrom(Text(value)); });
}
STDMETHODIMP SendMailObject::get_FromDisplayName(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().FromDisplayName()); });
}
STDMETHODIMP SendMailObject::put_FromDisplayName(BSTR value) {
    return Update([&] { Settings().SetFromDisplayName(Text(value)); });
}
STDMETHODIMP SendMailObject::get_MaxRecipients(LONG* value) { return PutNumber(value, Settings().MaxRecipients()); }
STDMETHODIMP SendMailObject::put_MaxRecipients(LONG value) {
    return Update([&] { Settings().SetMaxRecipients(value); });
}
STDMETHODIMP SendMailObject::get_Message(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Message()); });
}
STDMETHODIMP SendMailObject::put_Message(BSTR value) {
    return Update([&] { Settings().SetMessage(Text(value)); });
}
STDMETHODIMP SendMailObject::get_MessageTimeout(LONG* value) { return PutNumber(value, Settings().MessageTimeout()); }
STDMETHODIMP SendMailObject::put_MessageTimeout(LONG value) {
    return Update([&] { Settings().SetMessageTimeout(value); });
}
STDMETHODIMP SendMailObject::get_Password(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Password()); });
}
STDMETHODIMP SendMailObject::put_Password(BSTR value) {
    return Update([&] { Settings().SetPassword(Text(value)); });
}
STDMETHODIMP SendMailObject::get_PersistentSettings(VARIANT_BOOL* value) {
    return PutFlag(value, Settings().PersistentSettings());
}
STDMETHODIMP SendMailObject::put_PersistentSettings(VARIANT_BOOL value) {
    return Update([&] { Settings().SetPersistentSettings(value != VARIANT_FALSE); });
}
STDMETHODIMP SendMailObject::get_Priority(MAIL_PRIORITY* value) { return PutNumber(value, Settings().Priority()); }
STDMETHODIMP SendMailObject::put_Priority(MAIL_PRIORITY value) {
    return Update([&] { Settings().SetPriority(value); });
}
STDMETHODIMP SendMailObject::get_Receipt(VARIANT_BOOL* value) { return PutFlag(value, Settings().Receipt()); }
STDMETHODIMP SendMailObject::put_Receipt(VARIANT_BOOL value) {
    Settings().SetReceipt(value != VARIANT_FALSE);
    return S_OK;
}
STDMETHODIMP SendMailObject::get_Recipient(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Recipient()); });
}
STDMETHODIMP SendMailObject::put_Recipient(BSTR value) {
    return Update([&] { Settings().SetRecipient(Text(value)); });
}
STDMETHODIMP SendMailObject::get_RecipientDisplayName(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().RecipientDisplayName()); });
}
STDMETHODIMP SendMailObject::put_RecipientDisplayName(BSTR value) {
    return Update([&] { Settings().SetRecipientDisplayName(Text(value)); });
}
STDMETHODIMP SendMailObject::get_ReplyToAddress(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().ReplyToAddress()); });
}
STDMETHODIMP SendMailObject::put_ReplyToAddress(BSTR value) {
    return Update([&] { Settings().SetReplyToAddress(Text(value)); });
}
STDMETHODIMP SendMailObject::get_POP3Host(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().POP3Host()); });
}
STDMETHODIMP SendMailObject::put_POP3Host(BSTR* value) {
    if (!value) return E_POINTER;
    return Guarded([&] {
        std::string host = Text(*value);
        Settings().SetPOP3Host(host);
        return AssignBstr(value, CoreTextToWide(host));  // the caller's variable gets the cleaned text
    });
}
STDMETHODIMP SendMailObject::get_SMTPHost(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().SMTPHost()); });
}
STDMETHODIMP SendMailObject::put_SMTPHost(BSTR* value) {
    if (!value) return E_POINTER;
    return Guarded([&] {
        std::string host = Text(*value);
        Settings().SetSMTPHost(host);
        return AssignBstr(value, CoreTextToWide(host));
    });
}
STDMETHODIMP SendMailObject::get_SMTPHostValidation(VALIDATE_HOST_METHOD* value) {
    return PutNumber(value, Settings().SMTPHostValidation());
}
STDMETHODIMP SendMailObject::put_SMTPHostValidation(VALIDATE_HOST_METHOD value) {
    return Update([&] { Settings().SetSMTPHostValidation(value); });
}
STDMETHODIMP SendMailObject::get_SMTPPort(LONG* value) { return PutNumber(value, Settings().SMTPPort()); }
STDMETHODIMP SendMailObject::put_SMTPPort(LONG value) {
    return Update([&] { Settings().SetSMTPPort(value); });
}
STDMETHODIMP SendMailObject::get_Subject(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Subject()); });
}
STDMETHODIMP SendMailObject::put_Subject(BSTR value) {
    return Update([&] { Settings().SetSubject(Text(value)); });
}
STDMETHODIMP SendMailObject::get_UseAuthentication(VARIANT_BOOL* value) {
    return PutFlag(value, Settings().UseAuthentication());
}
STDMETHODIMP SendMailObject::put_UseAuthentication(VARIANT_BOOL value) {
    return Update([&] { Settings().SetUseAuthentication(value != VARIANT_FALSE); });
}
STDMETHODIMP SendMailObject::get_UsePopAuthentication(VARIANT_BOOL* value) {
    return PutFlag(value, Settings().UsePopAuthentication());
}
STDMETHODIMP SendMailObject::put_UsePopAuthentication(VARIANT_BOOL value) {
    return Update([&] { Settings().SetUsePopAuthentication(value != VARIANT_FALSE); });
}
STDMETHODIMP SendMailObject::get_Username(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().Username()); });
}
STDMETHODIMP SendMailObject::put_Username(BSTR value) {
    return Update([&] { Settings().SetUsername(Text(value)); });
}

// ---- methods --------------------------------------------------------------------------------

// Connect, Disconnect and Send raise events; a host may release its last reference inside
// one, so each keeps the object alive until it returns.
STDMETHODIMP SendMailObject::Connect(VARIANT_BOOL* result) {
    const ComPtr<_clsSendMail> keepAlive(this);
    return Guarded([&] { return PutFlag(result, core_->Connect()); });
}
STDMETHODIMP SendMailObject::Disconnect() {
    const ComPtr<_clsSendMail> keepAlive(this);
    return Update([&] { core_->Disconnect(); });
}

STDMETHODIMP SendMailObject::MXQuery(BSTR* domain, BSTR* result) {
    if (!domain) return E_POINTER;
    return Guarded([&] { return PutText(result, QueryExchanger(ToAsciiDomain(Text(*domain)))); });
}

std::string SendMailObject::QueryExchanger(const std::string& domain) {
    MxResolver resolver(MakePlatformDnsSystem());
    return resolver.MXQuery(domain, [&](std::string& text) { Status(text); });
}

STDMETHODIMP SendMailObject::GetContentType(BSTR file, BSTR* defaultType, BSTR* result) {
    if (!defaultType) return E_POINTER;
    return Guarded([&] { return PutText(result, core_->GetContentType(Text(file), Text(*defaultType))); });
}

STDMETHODIMP SendMailObject::GetIPAddress(BSTR* hostName, BSTR* result) {
    if (!hostName) return E_POINTER;
    return Guarded([&] {
        std::string host = Text(*hostName);
        std::string address = core_->GetIPAddress(host);
        HRESULT hr = AssignBstr(hostName, CoreTextToWide(host));  // trimmed and NUL-terminated
        if (FAILED(hr)) return hr;
        return PutText(result, address);
    });
}

STDMETHODIMP SendMailObject::GetIPHost(BSTR* result) {
    return Guarded([&] { return PutText(result, core_->GetIPHost()); });
}

STDMETHODIMP SendMailObject::IsValidEmailAddress(BSTR* address, VARIANT_BOOL* result) {
    if (!address) return E_POINTER;
    return Guarded([&] { return PutFlag(result, core_->IsValidEmailAddress(Text(*address))); });
}

STDMETHODIMP SendMailObject::Ping(BSTR* address, BSTR* roundTripTime, BSTR* dataSize, VARIANT_BOOL* dataMatch,
                                  VARIANT_BOOL* result) {
    if (!address || !roundTripTime || !dataSize || !dataMatch) return E_POINTER;
    return Guarded([&] {
        std::string host = Text(*address);
        std::string time = Text(*roundTripTime);
        std::string size = Text(*dataSize);
        bool match = *dataMatch != VARIANT_FALSE;
        bool answered = core_->Ping(host, time, size, match);
        HRESULT hr = AssignBstr(address, CoreTextToWide(host));
        if (SUCCEEDED(hr)) hr = AssignBstr(roundTripTime, CoreTextToWide(time));
        if (SUCCEEDED(hr)) hr = AssignBstr(dataSize, CoreTextToWide(size));
        if (FAILED(hr)) return hr;
        *dataMatch = match ? VARIANT_TRUE : VARIANT_FALSE;
        return PutFlag(result, answered);
    });
}

STDMETHODIMP SendMailObject::Send() {
    // Success and failure reach the host only through the events.
    const ComPtr<_clsSendMail> keepAlive(this);
    return Update([&] { core_->Send(); });
}

// The decoded bytes are the answer: each becomes the character of the ANSI code page with that
// code, whatever the bytes hold.
STDMETHODIMP SendMailObject::DecodeBase64String(BSTR encoded, BSTR* result) {
    return Guarded([&] {
        if (!result) return E_POINTER;
        return ToBstr(FromAnsi(core_->DecodeBase64String(Text(encoded))), result);
    });
}

// ---- TLS and login ---------------------------------------------------------------------------

STDMETHODIMP SendMailObject::get_Security(MAIL_SECURITY* value) { return PutNumber(value, Settings().Security()); }
STDMETHODIMP SendMailObject::put_Security(MAIL_SECURITY value) {
    if (!Settings().SetSecurity(value)) return Raise(VbError(5), kInvalidArgument);
    return S_OK;
}
STDMETHODIMP SendMailObject::get_AllowInvalidCertificate(VARIANT_BOOL* value) {
    return PutFlag(value, Settings().AllowInvalidCertificate());
}
STDMETHODIMP SendMailObject::put_AllowInvalidCertificate(VARIANT_BOOL value) {
    return Update([&] { Settings().SetAllowInvalidCertificate(value != VARIANT_FALSE); });
}
STDMETHODIMP SendMailObject::get_AuthMechanism(AUTH_MECHANISM* value) {
    return PutNumber(value, Settings().AuthMechanism());
}
STDMETHODIMP SendMailObject::put_AuthMechanism(AUTH_MECHANISM value) {
    if (!Settings().SetAuthMechanism(value)) return Raise(VbError(5), kInvalidArgument);
    return S_OK;
}
STDMETHODIMP SendMailObject::get_AccessToken(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().AccessToken()); });
}
STDMETHODIMP SendMailObject::put_AccessToken(BSTR value) {
    return Update([&] { Settings().SetAccessToken(Text(value)); });
}

// ---- OAuth --------------------------------------------------------------------------------------

STDMETHODIMP SendMailObject::get_OAuthTokenUrl(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthTokenUrl()); });
}
STDMETHODIMP SendMailObject::put_OAuthTokenUrl(BSTR value) {
    return Update([&] { Settings().SetOAuthTokenUrl(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthDeviceCodeUrl(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthDeviceCodeUrl()); });
}
STDMETHODIMP SendMailObject::put_OAuthDeviceCodeUrl(BSTR value) {
    return Update([&] { Settings().SetOAuthDeviceCodeUrl(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthAuthorizeUrl(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthAuthorizeUrl()); });
}
STDMETHODIMP SendMailObject::put_OAuthAuthorizeUrl(BSTR value) {
    return Update([&] { Settings().SetOAuthAuthorizeUrl(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthClientId(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthClientId()); });
}
STDMETHODIMP SendMailObject::put_OAuthClientId(BSTR value) {
    return Update([&] { Settings().SetOAuthClientId(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthClientSecret(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthClientSecret()); });
}
STDMETHODIMP SendMailObject::put_OAuthClientSecret(BSTR value) {
    return Update([&] { Settings().SetOAuthClientSecret(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthScope(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthScope()); });
}
STDMETHODIMP SendMailObject::put_OAuthScope(BSTR value) {
    return Update([&] { Settings().SetOAuthScope(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthRefreshToken(BSTR* value) {
    return Guarded([&] { return PutText(value, Settings().OAuthRefreshToken()); });
}
STDMETHODIMP SendMailObject::put_OAuthRefreshToken(BSTR value) {
    return Update([&] { Settings().SetOAuthRefreshToken(Text(value)); });
}
STDMETHODIMP SendMailObject::get_OAuthTokenExpires(DATE* value) {
    if (!value) return E_POINTER;
    const double utc = Settings().TokenExpiresUtc();
    // A Date holds local time: UTC less the bias (minutes west of Greenwich).
    *value = utc == 0 ? 0.0 : utc - static_cast<double>(core_->System().TimeZoneBiasMinutes()) / (24.0 * 60.0);
    return S_OK;
}
STDMETHODIMP SendMailObject::OAuthSignIn(OAUTH_FLOW flow, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    if (flow < OAUTH_DEVICE_CODE || flow > OAUTH_CLIENT_CREDENTIALS) return Raise(VbError(5), kInvalidArgument);
    return Guarded([&] {
        try {
            return PutFlag(result, core_->OAuthSignIn(static_cast<OAuthFlow>(flow)));
        } catch (const OAuthError& failure) {
            return Raise(kOAuthFailure, CoreTextToWide(failure.what()));
        }
    });
}

HRESULT CreateSendMail(REFIID iid, void** out) { return CreateAndQuery<SendMailObject>(iid, out); }

}  // namespace zankit::mail
