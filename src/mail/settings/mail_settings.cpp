#include "mail/settings/mail_settings.h"

#include <algorithm>
#include <cstdlib>

#include "frame/vb_numbers.h"
#include "mail/address_validation.h"
#include "mail/secret_text.h"

namespace zankit::mail {
namespace {

// Absolute value; the most negative number has none in 32 bits and gives the largest one.
std::int32_t AbsoluteValue(std::int32_t value) { return value == INT32_MIN ? kLargestLong : std::abs(value); }

}  // namespace

MailSettings::MailSettings(PendingErrors& errors, SettingsStore& store, MailSystem& system, HostUtilities& hosts)
    : errors_(errors), store_(store), system_(system), hosts_(hosts), stored_(LoadStoredValues(store)) {}

MailSettings::~MailSettings() {
    WipeString(password_);
    WipeString(accessToken_);
    WipeString(stored_.oauthClientSecret);
    WipeString(stored_.oauthRefreshToken);
}

void MailSettings::ReplaceSecret(std::string& secret, const std::string& value) {
    if (&secret == &value) return;
    WipeString(secret);
    secret = value;
}

bool MailSettings::StoreChecked(std::int32_t StoredValues::*member, std::int32_t value) {
    const StoredSetting& row = StoredSettingOf(member);
    if (!row.Accepts(value)) return false;
    stored_.*member = value;
    Remember(row);
    return true;
}

void MailSettings::Remember(const StoredSetting& row) {
    // A failing write is ignored.
    if (stored_.persistent || row.flag == &StoredValues::persistent) {
        WriteStoredValue(store_, row, stored_);
    }
}

void MailSettings::SetAttachment(const std::string& value) {
    errors_.Remove(kMissingAttachment);
    if (!attachments_.Assign(SplitList(value, delimiter_), system_)) errors_.Add(kMissingAttachment);
}

void MailSettings::SetAddressList(TextList& list, const std::string& value, std::string_view message) {
    list = SplitList(value, delimiter_);
    CleanAddressList(list);
    ValidateAddressList(value, message);
}

void MailSettings::ValidateAddressList(const std::string& value, std::string_view message) {
    errors_.Remove(message);
    if (stored_.emailValidation != VALIDATE_SYNTAX) return;
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

void MailSettings::SetFrom(const std::string& value) {
    Store(&StoredValues::from, TrimSpaces(value));
    ValidateAddressList(value, kInvalidSender);
}

void MailSettings::SetMaxRecipients(std::int32_t value) { Store(&StoredValues::maxRecipients, AbsoluteValue(value)); }

void MailSettings::SetMessageTimeout(std::int32_t value) {
    Store(&StoredValues::messageTimeout, AbsoluteValue(value));
}

void MailSettings::SetPriority(std::int32_t value) {
    priority_ = value;
    if (value == HIGH_PRIORITY) priorityText_ = "High";
    if (value == NORMAL_PRIORITY) priorityText_ = "Normal";
    if (value == LOW_PRIORITY) priorityText_ = "Low";
}

bool MailSettings::HostPassesCheck(const std::string& host) {
    switch (stored_.smtpHostValidation) {
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

void MailSettings::ApplyHostRule(std::string& value, std::string StoredValues::*host, std::string_view message) {
    value.erase(std::remove(value.begin(), value.end(), '\0'), value.end());
    if (!value.empty() && !HostPassesCheck(value)) {
        errors_.Add(message);
        return;
    }
    Store(host, value);
    errors_.Remove(message);
}

void MailSettings::SetSMTPHostValidation(std::int32_t value) {
    Store(&StoredValues::smtpHostValidation, value);
    if (!stored_.smtpHost.empty()) {
        std::string again = stored_.smtpHost;
        SetSMTPHost(again);
    }
}

void MailSettings::SetSMTPPort(std::int32_t value) {
    if (!StoreChecked(&StoredValues::smtpPort, value)) {
        errors_.Add(kInvalidPort);
        return;
    }
    errors_.Remove(kInvalidPort);
}

void MailSettings::ResizeDisplayNames() {
    if (!recipients_.empty()) recipientDisplayNames_.resize(recipients_.size());
    if (!ccRecipients_.empty()) ccDisplayNames_.resize(ccRecipients_.size());
}

}  // namespace zankit::mail
