#include "mail/settings/mail_settings.h"

#include <algorithm>
#include <cstdlib>

#include "frame/vb_numbers.h"
#include "mail/address_validation.h"
#include "mail/settings/setting_values.h"

namespace zankit::mail {
namespace {

// Absolute value; the most negative number has none in 32 bits and gives the largest one.
std::int32_t AbsoluteValue(std::int32_t value) { return value == INT32_MIN ? kLargestLong : std::abs(value); }

// The file name of an attachment path: the text after its last "\" or "/".
std::string NameOfPath(const std::string& path) {
    // Both separators, as Windows takes "/" in paths too.
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

MailSettings::MailSettings(PendingErrors& errors, SettingsStore& store, MailSystem& system, HostUtilities& hosts)
    : errors_(errors), store_(store), system_(system), hosts_(hosts) {
    persistent_ = ParseSettingNumber(ReadSetting("PersistentSettings", "0")).value_or(0) != 0;
    if (persistent_) LoadRemembered();
    if (maxRecipients_ < 1) maxRecipients_ = 100;
}

std::string MailSettings::ReadSetting(const std::string& key, const std::string& fallback) {
    return store_.Read(key).value_or(fallback);
}

void MailSettings::WriteSetting(const std::string& key, const std::string& value) {
    if (persistent_) store_.Write(key, value);  // a failing write is ignored
}

void MailSettings::LoadRemembered() {
    auto number = [this](const char* key, std::int32_t fallback) {
        return ParseSettingNumber(ReadSetting(key, std::to_string(fallback))).value_or(fallback);
    };
    auto flag = [&](const char* key) { return number(key, 0) != 0; };

    from_ = ReadSetting("From", "");
    fromDisplayName_ = ReadSetting("FromDisplayName", "");
    pop3Host_ = ReadSetting("Pop3Host", "");
    smtpHost_ = ReadSetting("RemoteHost", "");
    smtpPort_ = number("RemotePort", 25);
    smtpHostValidation_ = number("SMTPHostValidation", VALIDATE_HOST_DNS);
    emailValidation_ = number("EmailValidation", VALIDATE_SYNTAX);
    connectTimeout_ = number("ConnectTimeout", 40);
    messageTimeout_ = number("MessageTimeout", 60);
    connectRetry_ = number("ConnectRetry", 4);
    encodeType_ = number("EncodeType", MIME_ENCODE);
    username_ = ReadSetting("Username", "");
    useAuthentication_ = flag("UseAuthentication");
    usePopAuthentication_ = flag("UsePopAuthentication");
    maxRecipients_ = number("MaxRecipients", 100);
    security_ = number("Security", SECURITY_NONE);
    allowInvalidCertificate_ = flag("AllowInvalidCertificate");
    authMechanism_ = number("AuthMechanism", AUTH_AUTOMATIC);
}

void MailSettings::SetAttachment(const std::string& value) {
    attachmentPaths_ = SplitList(value, delimiter_);
    attachmentBytes_ = 0;
    attachmentNameChars_ = 0;
    errors_.Remove(kMissingAttachment);
    attachmentNames_.assign(attachmentPaths_.size(), std::string());
    embeddedFlags_.assign(attachmentPaths_.size(), false);
    for (std::size_t i = 0; i < attachmentPaths_.size(); ++i) {
        const auto size = system_.RegularFileSize(attachmentPaths_[i]);
        if (!size) {
            errors_.Add(kMissingAttachment);
            return;
        }
        attachmentNames_[i] = NameOfPath(attachmentPaths_[i]);
        attachmentBytes_ += *size;
        attachmentNameChars_ += static_cast<std::int64_t>(attachmentNames_[i].size());
    }
}

void MailSettings::SetAddressList(TextList& list, const std::string& value, std::string_view message) {
    list = SplitList(value, delimiter_);
    CleanAddressList(list);
    ValidateAddressList(value, message);
}

void MailSettings::ValidateAddressList(const std::string& value, std::string_view message) {
    errors_.Remove(message);
    if (emailValidation_ != VALIDATE_SYNTAX) return;
    for (const auto& element : SplitList(value, delimiter_)) {
        if (!IsValidEmailAddress(element)) {
            errors_.Add(message);
            return;
        }
    }
}

void MailSettings::SetBccRecipient(const std::string& value) { SetAddressList(bccRecipients_, value, kInvalidBcc); }

void MailSettings::SetCcRecipient(const std::string& value) { SetAddressList(ccRecipients_, value, kInvalidCc); }

void MailSettings::SetRecipient(const std::string& value) { SetAddressList(recipients_, value, kInvalidRecipient); }

void MailSettings::SetCcDisplayName(const std::string& value) {
    ccDisplayNames_ = SplitList(value, delimiter_);
    CleanAddressList(ccDisplayNames_);
}

void MailSettings::SetRecipientDisplayName(const std::string& value) {
    recipientDisplayNames_ = SplitList(value, delimiter_);
    CleanAddressList(recipientDisplayNames_);
}

void MailSettings::SetConnectRetry(std::int32_t value) {
    if (value < 1 || value > 20) return;
    connectRetry_ = value;
    WriteSetting("ConnectRetry", std::to_string(value));
}

void MailSettings::SetConnectTimeout(std::int32_t value) {
    if (value < 1 || value > 120) return;
    connectTimeout_ = value;
    WriteSetting("ConnectTimeout", std::to_string(value));
}

void MailSettings::SetContentBase(const std::string& value) {
    if (value.empty()) {
        contentBase_.clear();
        return;
    }
    std::string base = value;
    std::replace(base.begin(), base.end(), '\\', '/');
    // A base that names its scheme ("https://x/") is kept; a bare host gets "http://".
    if (base.find("://") == std::string::npos) base.insert(0, "http://");
    if (base.back() != '/') base.push_back('/');
    contentBase_ = std::move(base);
}

void MailSettings::SetEmailAddressValidation(std::int32_t value) {
    emailValidation_ = value;
    WriteSetting("EmailValidation", std::to_string(value));
}

void MailSettings::SetEncodeType(std::int32_t value) {
    encodeType_ = value;
    WriteSetting("EncodeType", std::to_string(value));
}

void MailSettings::SetFrom(const std::string& value) {
    from_ = TrimSpaces(value);
    ValidateAddressList(value, kInvalidSender);
    WriteSetting("From", value);
}

void MailSettings::SetFromDisplayName(const std::string& value) {
    fromDisplayName_ = TrimSpaces(value);
    WriteSetting("FromDisplayName", value);
}

void MailSettings::SetMaxRecipients(std::int32_t value) {
    maxRecipients_ = AbsoluteValue(value);
    WriteSetting("MaxRecipients", std::to_string(maxRecipients_));
}

// Kept as given: line ends, long lines and leading dots are the wire filter's business.
void MailSettings::SetMessage(const std::string& value) { ReplaceMessage(value); }

void MailSettings::ReplaceMessage(std::string normalisedText) {
    message_ = std::move(normalisedText);
    hasEightBit_ = HasByteAbove126(message_);
}

void MailSettings::SetEmbeddedFlag(std::size_t index, bool embedded) {
    if (index < embeddedFlags_.size()) embeddedFlags_[index] = embedded;
}

void MailSettings::SetMessageTimeout(std::int32_t value) {
    messageTimeout_ = AbsoluteValue(value);
    WriteSetting("MessageTimeout", std::to_string(messageTimeout_));
}

void MailSettings::SetPersistentSettings(bool value) {
    persistent_ = value;
    // Written whether on or off: switching off must reach the store too, or the next object
    // would load the remembered values again.
    store_.Write("PersistentSettings", BooleanSettingText(value));
}

void MailSettings::SetPriority(std::int32_t value) {
    priority_ = value;
    if (value == HIGH_PRIORITY) priorityText_ = "High";
    if (value == NORMAL_PRIORITY) priorityText_ = "Normal";
    if (value == LOW_PRIORITY) priorityText_ = "Low";
}

bool MailSettings::HostPassesCheck(const std::string& host) {
    switch (smtpHostValidation_) {
        case VALIDATE_HOST_SYNTAX:
            return IsValidHostName(host);
        case VALIDATE_HOST_PING: {
            std::string asked = host;  // Ping rewrites its argument; the setting keeps the name
            return hosts_.Ping(asked);
        }
        case VALIDATE_HOST_DNS: {
            std::string asked = host;  // likewise GetIPAddress
            return !hosts_.GetIPAddress(asked).empty();
        }
        default:
            return true;
    }
}

void MailSettings::ApplyHostRule(std::string& value, std::string& stored, const std::string& key,
                                 std::string_view message) {
    value.erase(std::remove(value.begin(), value.end(), '\0'), value.end());
    if (!value.empty() && !HostPassesCheck(value)) {
        errors_.Add(message);
        return;
    }
    WriteSetting(key, value);
    errors_.Remove(message);
    stored = value;
}

void MailSettings::SetPOP3Host(std::string& value) { ApplyHostRule(value, pop3Host_, "Pop3Host", kInvalidPop3Host); }

void MailSettings::SetSMTPHost(std::string& value) { ApplyHostRule(value, smtpHost_, "RemoteHost", kInvalidSmtpHost); }

void MailSettings::SetSMTPHostValidation(std::int32_t value) {
    smtpHostValidation_ = value;
    WriteSetting("SMTPHostValidation", std::to_string(value));
    if (!smtpHost_.empty()) {
        std::string again = smtpHost_;
        SetSMTPHost(again);
    }
}

void MailSettings::SetSMTPPort(std::int32_t value) {
    if (value < 1 || value > 65535) {
        errors_.Add(kInvalidPort);
        return;
    }
    smtpPort_ = value;
    WriteSetting("RemotePort", std::to_string(value));
    errors_.Remove(kInvalidPort);
}

void MailSettings::SetUseAuthentication(bool value) {
    useAuthentication_ = value;
    WriteSetting("UseAuthentication", BooleanSettingText(value));
}

void MailSettings::SetUsePopAuthentication(bool value) {
    usePopAuthentication_ = value;
    WriteSetting("UsePopAuthentication", BooleanSettingText(value));
}

void MailSettings::SetUsername(const std::string& value) {
    username_ = value;
    WriteSetting("Username", value);
}

void MailSettings::ResizeDisplayNames() {
    if (!recipients_.empty()) recipientDisplayNames_.resize(recipients_.size());
    if (!ccRecipients_.empty()) ccDisplayNames_.resize(ccRecipients_.size());
}

bool MailSettings::SetSecurity(std::int32_t value) {
    if (value < SECURITY_NONE || value > SECURITY_TLS) return false;
    security_ = value;
    WriteSetting("Security", std::to_string(value));
    return true;
}

void MailSettings::SetAllowInvalidCertificate(bool value) {
    allowInvalidCertificate_ = value;
    WriteSetting("AllowInvalidCertificate", BooleanSettingText(value));
}

bool MailSettings::SetAuthMechanism(std::int32_t value) {
    if (value < AUTH_AUTOMATIC || value > AUTH_XOAUTH2) return false;
    authMechanism_ = value;
    WriteSetting("AuthMechanism", std::to_string(value));
    return true;
}

}  // namespace zankit::mail
