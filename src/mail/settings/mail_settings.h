// The properties of a mail object with the members kept beside them. Each setter normalises
// and checks its value and records or withdraws its complaint in the pending-error list; the
// values of the stored-settings table are remembered per user in a SettingsStore while
// PersistentSettings is on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mail/host_utilities.h"
#include "mail/mail_seam.h"
#include "mail/mail_types.h"
#include "mail/pending_errors.h"
#include "mail/settings/attachment_list.h"
#include "mail/settings/stored_settings.h"
#include "mail/text_rules.h"

namespace zankit::mail {

// Messages recorded by the setters.
inline constexpr std::string_view kInvalidRecipient = "Missing or Invalid Recipient E-mail Address";
inline constexpr std::string_view kInvalidCc = "Invalid Cc: Recipient E-mail Address";
inline constexpr std::string_view kInvalidBcc = "Invalid Bcc: Recipient E-mail Address";
inline constexpr std::string_view kInvalidSender = "Missing or Invalid Sender E-mail Address";
inline constexpr std::string_view kMissingAttachment = "The file you tried to attach does not exist";
inline constexpr std::string_view kInvalidSmtpHost = "Invalid or Missing SMTP Host Name";
inline constexpr std::string_view kInvalidPop3Host = "Invalid or Missing POP3 Host Name";
inline constexpr std::string_view kInvalidPort = "Invalid Remote Port";

class MailSettings {
public:
    // Loads the remembered values when the store says persistence is on, else the defaults.
    MailSettings(PendingErrors& errors, SettingsStore& store, MailSystem& system, HostUtilities& hosts);
    // A copy (the one a send works from) holds the secrets too; every copy wipes them when it goes.
    MailSettings(const MailSettings&) = default;
    MailSettings& operator=(const MailSettings&) = delete;
    ~MailSettings();

    // --- properties, in slot order of the interface ---
    bool AsHTML() const { return asHtml_; }
    void SetAsHTML(bool value) { asHtml_ = value; }
    std::string Attachment() const { return JoinList(attachments_.Paths(), delimiter_); }
    void SetAttachment(const std::string& value);
    std::string BccRecipient() const { return JoinList(bccRecipients_, delimiter_); }
    void SetBccRecipient(const std::string& value);
    std::string CcDisplayName() const { return JoinList(ccDisplayNames_, delimiter_); }
    void SetCcDisplayName(const std::string& value);
    std::string CcRecipient() const { return JoinList(ccRecipients_, delimiter_); }
    void SetCcRecipient(const std::string& value);
    std::int32_t ConnectRetry() const { return stored_.connectRetry; }
    void SetConnectRetry(std::int32_t value) { StoreChecked(&StoredValues::connectRetry, value); }
    std::int32_t ConnectTimeout() const { return stored_.connectTimeout; }
    void SetConnectTimeout(std::int32_t value) { StoreChecked(&StoredValues::connectTimeout, value); }
    const std::string& ContentBase() const { return contentBase_; }
    void SetContentBase(const std::string& value);
    const std::string& Delimiter() const { return delimiter_; }
    void SetDelimiter(const std::string& value) { delimiter_ = value.substr(0, 1); }
    std::int32_t EmailAddressValidation() const { return stored_.emailValidation; }
    void SetEmailAddressValidation(std::int32_t value) { Store(&StoredValues::emailValidation, value); }
    std::int32_t EncodeType() const { return stored_.encodeType; }
    void SetEncodeType(std::int32_t value) { Store(&StoredValues::encodeType, value); }
    const std::string& From() const { return stored_.from; }
    void SetFrom(const std::string& value);
    const std::string& FromDisplayName() const { return stored_.fromDisplayName; }
    void SetFromDisplayName(const std::string& value) { Store(&StoredValues::fromDisplayName, TrimSpaces(value)); }
    std::int32_t MaxRecipients() const { return stored_.maxRecipients; }
    void SetMaxRecipients(std::int32_t value);
    const std::string& Message() const { return message_; }
    // Kept as given: line ends, long lines and leading dots are the wire filter's business.
    void SetMessage(const std::string& value) { message_ = value; }
    std::int32_t MessageTimeout() const { return stored_.messageTimeout; }
    void SetMessageTimeout(std::int32_t value);
    // Never stored.
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value) { ReplaceSecret(password_, value); }
    bool PersistentSettings() const { return stored_.persistent; }
    // Stored whether on or off: switching off must reach the store too, or the next object
    // would load the remembered values again.
    void SetPersistentSettings(bool value) { Store(&StoredValues::persistent, value); }
    std::int32_t Priority() const { return priority_; }
    void SetPriority(std::int32_t value);
    bool Receipt() const { return receipt_; }
    void SetReceipt(bool value) { receipt_ = value; }
    std::string Recipient() const { return JoinList(recipients_, delimiter_); }
    void SetRecipient(const std::string& value);
    std::string RecipientDisplayName() const { return JoinList(recipientDisplayNames_, delimiter_); }
    void SetRecipientDisplayName(const std::string& value);
    const std::string& ReplyToAddress() const { return replyTo_; }
    void SetReplyToAddress(const std::string& value) { replyTo_ = TrimSpaces(value); }
    const std::string& POP3Host() const { return stored_.pop3Host; }
    // Host setters take the caller's text by reference and give back the cleaned text.
    void SetPOP3Host(std::string& value) { ApplyHostRule(value, &StoredValues::pop3Host, kInvalidPop3Host); }
    const std::string& SMTPHost() const { return stored_.smtpHost; }
    void SetSMTPHost(std::string& value) { ApplyHostRule(value, &StoredValues::smtpHost, kInvalidSmtpHost); }
    // The exchanger an MX lookup found for an empty SMTPHost, kept without the host checks
    // and not stored.
    void StoreDiscoveredSMTPHost(const std::string& host) { stored_.smtpHost = host; }
    std::int32_t SMTPHostValidation() const { return stored_.smtpHostValidation; }
    void SetSMTPHostValidation(std::int32_t value);
    std::int32_t SMTPPort() const { return stored_.smtpPort; }
    void SetSMTPPort(std::int32_t value);
    const std::string& Subject() const { return subject_; }
    void SetSubject(const std::string& value) { subject_ = value; }
    bool UseAuthentication() const { return stored_.useAuthentication; }
    void SetUseAuthentication(bool value) { Store(&StoredValues::useAuthentication, value); }
    bool UsePopAuthentication() const { return stored_.usePopAuthentication; }
    void SetUsePopAuthentication(bool value) { Store(&StoredValues::usePopAuthentication, value); }
    const std::string& Username() const { return stored_.username; }
    void SetUsername(const std::string& value) { Store(&StoredValues::username, value); }
    // A stored value outside the enumeration reads as it is; see InvalidStoredSettings.
    std::int32_t Security() const { return stored_.security; }
    // False, changing nothing, for a value outside the enumeration.
    bool SetSecurity(std::int32_t value) { return StoreChecked(&StoredValues::security, value); }
    // Never stored: a remembered one would turn the certificate checks off for every later object.
    bool AllowInvalidCertificate() const { return allowInvalidCertificate_; }
    void SetAllowInvalidCertificate(bool value) { allowInvalidCertificate_ = value; }
    std::int32_t AuthMechanism() const { return stored_.authMechanism; }
    bool SetAuthMechanism(std::int32_t value) { return StoreChecked(&StoredValues::authMechanism, value); }
    // The bearer token of XOAUTH2; never stored. A token the host sets has no known end.
    const std::string& AccessToken() const { return accessToken_; }
    void SetAccessToken(const std::string& value) {
        ReplaceSecret(accessToken_, value);
        tokenExpiresUtc_ = 0;
    }
    const std::string& OAuthTokenUrl() const { return stored_.oauthTokenUrl; }
    void SetOAuthTokenUrl(const std::string& value) { Store(&StoredValues::oauthTokenUrl, TrimSpaces(value)); }
    const std::string& OAuthDeviceCodeUrl() const { return stored_.oauthDeviceCodeUrl; }
    void SetOAuthDeviceCodeUrl(const std::string& value) {
        Store(&StoredValues::oauthDeviceCodeUrl, TrimSpaces(value));
    }
    const std::string& OAuthAuthorizeUrl() const { return stored_.oauthAuthorizeUrl; }
    void SetOAuthAuthorizeUrl(const std::string& value) { Store(&StoredValues::oauthAuthorizeUrl, TrimSpaces(value)); }
    const std::string& OAuthClientId() const { return stored_.oauthClientId; }
    void SetOAuthClientId(const std::string& value) { Store(&StoredValues::oauthClientId, TrimSpaces(value)); }
    const std::string& OAuthScope() const { return stored_.oauthScope; }
    void SetOAuthScope(const std::string& value) { Store(&StoredValues::oauthScope, TrimSpaces(value)); }
    // Stored only in the platform's protected form.
    const std::string& OAuthClientSecret() const { return stored_.oauthClientSecret; }
    void SetOAuthClientSecret(const std::string& value) { StoreSecret(&StoredValues::oauthClientSecret, value); }
    const std::string& OAuthRefreshToken() const { return stored_.oauthRefreshToken; }
    void SetOAuthRefreshToken(const std::string& value) { StoreSecret(&StoredValues::oauthRefreshToken, value); }
    // When AccessToken runs out, as a UTC automation date; 0 when unknown.
    double TokenExpiresUtc() const { return tokenExpiresUtc_; }
    // A token the sign-in obtained, with its end (0 when unknown).
    void SetGrantedToken(const std::string& token, double expiresUtc) {
        ReplaceSecret(accessToken_, token);
        tokenExpiresUtc_ = expiresUtc;
    }
    // True when the sign-in is configured and can renew a token without the user: a token
    // endpoint, a client id, and a refresh token or a client secret.
    bool OAuthRenewable() const {
        return !OAuthTokenUrl().empty() && !OAuthClientId().empty() &&
               (!OAuthRefreshToken().empty() || !OAuthClientSecret().empty());
    }

    // --- members beside the properties ---
    const TextList& Recipients() const { return recipients_; }
    const TextList& RecipientDisplayNames() const { return recipientDisplayNames_; }
    const TextList& CcRecipients() const { return ccRecipients_; }
    const TextList& CcDisplayNames() const { return ccDisplayNames_; }
    const TextList& BccRecipients() const { return bccRecipients_; }
    const AttachmentList& Attachments() const { return attachments_; }
    const std::string& PriorityText() const { return priorityText_; }
    // The complaints of stored values that keep the object from connecting (a Security or
    // AuthMechanism outside its enumeration); empty when there are none.
    std::vector<std::string_view> InvalidStoredSettings() const { return InvalidStoredValues(stored_); }

    // Used by Send when it links embedded files: the rewritten message text and the flag of
    // an attachment referenced from it.
    void ReplaceMessage(std::string normalisedText) { message_ = std::move(normalisedText); }
    void SetEmbeddedFlag(std::size_t index, bool embedded) { attachments_.SetEmbedded(index, embedded); }

    // Gives each display-name list the length of its address list (names kept by position,
    // missing ones empty), for address lists that are not empty.
    void ResizeDisplayNames();

private:
    // Sets a stored member and writes it while persistence is on (PersistentSettings always).
    template <typename Value>
    void Store(Value StoredValues::*member, Value value) {
        stored_.*member = std::move(value);
        Remember(StoredSettingOf(member));
    }
    // Store for a secret: the old value is wiped first.
    void StoreSecret(std::string StoredValues::*member, const std::string& value) {
        ReplaceSecret(stored_.*member, value);
        Remember(StoredSettingOf(member));
    }
    // Store for a value inside the row's range; false, changing nothing, for one outside.
    bool StoreChecked(std::int32_t StoredValues::*member, std::int32_t value);
    void Remember(const StoredSetting& row);
    // Wipes the old secret before it takes the new one.
    static void ReplaceSecret(std::string& secret, const std::string& value);
    void SetAddressList(TextList& list, const std::string& value, std::string_view message);
    void ValidateAddressList(const std::string& value, std::string_view message);
    void ApplyHostRule(std::string& value, std::string StoredValues::*host, std::string_view message);
    bool HostPassesCheck(const std::string& host);

    PendingErrors& errors_;
    SettingsStore& store_;
    MailSystem& system_;
    HostUtilities& hosts_;

    StoredValues stored_;
    bool asHtml_ = false;
    AttachmentList attachments_;
    TextList bccRecipients_;
    TextList ccDisplayNames_;
    TextList ccRecipients_;
    std::string contentBase_;
    std::string delimiter_ = ";";
    std::string message_;
    std::string password_;
    std::int32_t priority_ = NORMAL_PRIORITY;
    bool receipt_ = false;
    TextList recipients_;
    TextList recipientDisplayNames_;
    std::string replyTo_;
    std::string subject_;
    bool allowInvalidCertificate_ = false;
    std::string accessToken_;
    double tokenExpiresUtc_ = 0;
    std::string priorityText_;
};

}  // namespace zankit::mail
