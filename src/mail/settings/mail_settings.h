// The properties of a mail object with the members kept beside them. Each setter normalises
// and checks its value and records or withdraws its complaint in the pending-error list; some
// values are remembered per user in a SettingsStore while PersistentSettings is on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mail/host_utilities.h"
#include "mail/mail_seam.h"
#include "mail/mail_types.h"
#include "mail/pending_errors.h"
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

    // --- properties, in slot order of the interface ---
    bool AsHTML() const { return asHtml_; }
    void SetAsHTML(bool value) { asHtml_ = value; }
    std::string Attachment() const { return JoinList(attachmentPaths_, delimiter_); }
    void SetAttachment(const std::string& value);
    std::string BccRecipient() const { return JoinList(bccRecipients_, delimiter_); }
    void SetBccRecipient(const std::string& value);
    std::string CcDisplayName() const { return JoinList(ccDisplayNames_, delimiter_); }
    void SetCcDisplayName(const std::string& value);
    std::string CcRecipient() const { return JoinList(ccRecipients_, delimiter_); }
    void SetCcRecipient(const std::string& value);
    std::int32_t ConnectRetry() const { return connectRetry_; }
    void SetConnectRetry(std::int32_t value);
    std::int32_t ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(std::int32_t value);
    const std::string& ContentBase() const { return contentBase_; }
    void SetContentBase(const std::string& value);
    const std::string& Delimiter() const { return delimiter_; }
    void SetDelimiter(const std::string& value) { delimiter_ = value.substr(0, 1); }
    std::int32_t EmailAddressValidation() const { return emailValidation_; }
    void SetEmailAddressValidation(std::int32_t value);
    std::int32_t EncodeType() const { return encodeType_; }
    void SetEncodeType(std::int32_t value);
    const std::string& From() const { return from_; }
    void SetFrom(const std::string& value);
    const std::string& FromDisplayName() const { return fromDisplayName_; }
    void SetFromDisplayName(const std::string& value);
    std::int32_t MaxRecipients() const { return maxRecipients_; }
    void SetMaxRecipients(std::int32_t value);
    const std::string& Message() const { return message_; }
    void SetMessage(const std::string& value);
    std::int32_t MessageTimeout() const { return messageTimeout_; }
    void SetMessageTimeout(std::int32_t value);
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value) { password_ = value; }
    bool PersistentSettings() const { return persistent_; }
    void SetPersistentSettings(bool value);
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
    const std::string& POP3Host() const { return pop3Host_; }
    // Host setters take the caller's text by reference and give back the cleaned text.
    void SetPOP3Host(std::string& value);
    const std::string& SMTPHost() const { return smtpHost_; }
    void SetSMTPHost(std::string& value);
    // The exchanger an MX lookup found for an empty SMTPHost, stored without the host checks.
    void StoreDiscoveredSMTPHost(const std::string& host) { smtpHost_ = host; }
    std::int32_t SMTPHostValidation() const { return smtpHostValidation_; }
    void SetSMTPHostValidation(std::int32_t value);
    std::int32_t SMTPPort() const { return smtpPort_; }
    void SetSMTPPort(std::int32_t value);
    const std::string& Subject() const { return subject_; }
    void SetSubject(const std::string& value) { subject_ = value; }
    bool UseAuthentication() const { return useAuthentication_; }
    void SetUseAuthentication(bool value);
    bool UsePopAuthentication() const { return usePopAuthentication_; }
    void SetUsePopAuthentication(bool value);
    const std::string& Username() const { return username_; }
    void SetUsername(const std::string& value);
    std::int32_t Security() const { return security_; }
    // False, changing nothing, for a value outside the enumeration.
    bool SetSecurity(std::int32_t value);
    bool AllowInvalidCertificate() const { return allowInvalidCertificate_; }
    void SetAllowInvalidCertificate(bool value);
    std::int32_t AuthMechanism() const { return authMechanism_; }
    bool SetAuthMechanism(std::int32_t value);
    // The bearer token of XOAUTH2; never remembered.
    const std::string& AccessToken() const { return accessToken_; }
    void SetAccessToken(const std::string& value) { accessToken_ = value; }

    // --- members beside the properties ---
    const TextList& Recipients() const { return recipients_; }
    const TextList& RecipientDisplayNames() const { return recipientDisplayNames_; }
    const TextList& CcRecipients() const { return ccRecipients_; }
    const TextList& CcDisplayNames() const { return ccDisplayNames_; }
    const TextList& BccRecipients() const { return bccRecipients_; }
    const TextList& AttachmentPaths() const { return attachmentPaths_; }
    const TextList& AttachmentNames() const { return attachmentNames_; }
    const std::vector<bool>& EmbeddedFlags() const { return embeddedFlags_; }
    std::int32_t AttachmentCount() const { return static_cast<std::int32_t>(attachmentPaths_.size()); }
    std::uint64_t AttachmentBytes() const { return attachmentBytes_; }
    std::int64_t AttachmentNameChars() const { return attachmentNameChars_; }
    bool HasEightBit() const { return hasEightBit_; }
    const std::string& PriorityText() const { return priorityText_; }

    // Used by Send when it links embedded files: the rewritten message text (already
    // normalised) and the flag of an attachment referenced from it.
    void ReplaceMessage(std::string normalisedText);
    void SetEmbeddedFlag(std::size_t index, bool embedded);

    // Gives each display-name list the length of its address list (names kept by position,
    // missing ones empty), for address lists that are not empty.
    void ResizeDisplayNames();

private:
    void LoadRemembered();
    std::string ReadSetting(const std::string& key, const std::string& fallback);
    void WriteSetting(const std::string& key, const std::string& value);
    void SetAddressList(TextList& list, const std::string& value, std::string_view message);
    void ValidateAddressList(const std::string& value, std::string_view message);
    void ApplyHostRule(std::string& value, std::string& stored, const std::string& key, std::string_view message);
    bool HostPassesCheck(const std::string& host);

    PendingErrors& errors_;
    SettingsStore& store_;
    MailSystem& system_;
    HostUtilities& hosts_;

    bool asHtml_ = false;
    TextList attachmentPaths_;
    TextList bccRecipients_;
    TextList ccDisplayNames_;
    TextList ccRecipients_;
    std::int32_t connectRetry_ = 4;
    std::int32_t connectTimeout_ = 40;
    std::string contentBase_;
    std::string delimiter_ = ";";
    std::int32_t emailValidation_ = VALIDATE_SYNTAX;
    std::int32_t encodeType_ = MIME_ENCODE;
    std::string from_;
    std::string fromDisplayName_;
    std::int32_t maxRecipients_ = 100;
    std::string message_;
    std::int32_t messageTimeout_ = 60;
    std::string password_;
    bool persistent_ = false;
    std::int32_t priority_ = NORMAL_PRIORITY;
    bool receipt_ = false;
    TextList recipients_;
    TextList recipientDisplayNames_;
    std::string replyTo_;
    std::string pop3Host_;
    std::string smtpHost_;
    std::int32_t smtpHostValidation_ = VALIDATE_HOST_DNS;
    std::int32_t smtpPort_ = 25;
    std::string subject_;
    bool useAuthentication_ = false;
    bool usePopAuthentication_ = false;
    std::string username_;
    std::int32_t security_ = SECURITY_NONE;
    bool allowInvalidCertificate_ = false;
    std::int32_t authMechanism_ = AUTH_AUTOMATIC;
    std::string accessToken_;

    TextList attachmentNames_;
    std::vector<bool> embeddedFlags_;
    std::uint64_t attachmentBytes_ = 0;
    std::int64_t attachmentNameChars_ = 0;
    bool hasEightBit_ = false;
    std::string priorityText_;
};

}  // namespace zankit::mail
