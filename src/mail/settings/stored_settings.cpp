#include "mail/settings/stored_settings.h"

#include <stdexcept>

#include "mail/mail_types.h"
#include "mail/secret_text.h"
#include "mail/settings/setting_values.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

using V = StoredValues;

// clang-format off
constexpr StoredSetting kStoredSettings[] = {
    {.key = "PersistentSettings", .flag = &V::persistent},
    {.key = "From", .text = &V::from, .trimmed = true},
    {.key = "FromDisplayName", .text = &V::fromDisplayName, .trimmed = true},
    {.key = "Pop3Host", .property = "POP3Host", .text = &V::pop3Host},
    {.key = "RemoteHost", .property = "SMTPHost", .text = &V::smtpHost},
    {.key = "RemotePort", .property = "SMTPPort", .number = &V::smtpPort, .fallback = 25, .lowest = 1, .highest = 65535},
    {.key = "SMTPHostValidation", .number = &V::smtpHostValidation, .fallback = VALIDATE_HOST_DNS},
    {.key = "EmailValidation", .property = "EmailAddressValidation", .number = &V::emailValidation,
     .fallback = VALIDATE_SYNTAX},
    {.key = "ConnectTimeout", .number = &V::connectTimeout, .fallback = 40, .lowest = 1, .highest = 120},
    // The setters of MessageTimeout and MaxRecipients store the absolute value; a maximum of 0
    // recipients is not taken from the store.
    {.key = "MessageTimeout", .number = &V::messageTimeout, .fallback = 60, .lowest = 0},
    {.key = "ConnectRetry", .number = &V::connectRetry, .fallback = 4, .lowest = 1, .highest = 20},
    {.key = "EncodeType", .number = &V::encodeType, .fallback = MIME_ENCODE},
    {.key = "Username", .text = &V::username},
    {.key = "UseAuthentication", .flag = &V::useAuthentication},
    {.key = "UsePopAuthentication", .flag = &V::usePopAuthentication},
    {.key = "MaxRecipients", .number = &V::maxRecipients, .fallback = 100, .lowest = 1},
    {.key = "Security", .number = &V::security, .fallback = SECURITY_NONE, .lowest = SECURITY_NONE,
     .highest = SECURITY_TLS, .invalidText = kInvalidStoredSecurity},
    {.key = "AuthMechanism", .number = &V::authMechanism, .fallback = AUTH_AUTOMATIC, .lowest = AUTH_AUTOMATIC,
     .highest = AUTH_XOAUTH2, .invalidText = kInvalidStoredAuthMechanism},
    {.key = "OAuthTokenUrl", .text = &V::oauthTokenUrl, .trimmed = true},
    {.key = "OAuthDeviceCodeUrl", .text = &V::oauthDeviceCodeUrl, .trimmed = true},
    {.key = "OAuthAuthorizeUrl", .text = &V::oauthAuthorizeUrl, .trimmed = true},
    {.key = "OAuthClientId", .text = &V::oauthClientId, .trimmed = true},
    {.key = "OAuthScope", .text = &V::oauthScope, .trimmed = true},
    {.key = "OAuthClientSecret", .text = &V::oauthClientSecret, .protectedText = true},
    {.key = "OAuthRefreshToken", .text = &V::oauthRefreshToken, .protectedText = true},
};
// clang-format on

template <typename Member>
const StoredSetting& RowOf(Member StoredSetting::*field, Member member) {
    for (const StoredSetting& row : kStoredSettings) {
        if (row.*field == member) return row;
    }
    throw std::logic_error("A stored setting without a row");
}

// The value of row read from text, or nothing when the default stands.
void Load(const StoredSetting& row, const std::string& text, StoredValues& values) {
    if (row.text) {
        values.*row.text = row.trimmed ? TrimSpaces(text) : text;
        return;
    }
    const std::optional<std::int32_t> number = ParseSettingNumber(text);
    if (row.flag) {
        if (number) values.*row.flag = *number != 0;
        return;
    }
    if (!row.invalidText.empty()) {
        values.*row.number = number.value_or(-1);
    } else if (number && row.Accepts(*number)) {
        values.*row.number = *number;
    }
}

}  // namespace

std::string StoredSetting::TextOf(const StoredValues& values) const {
    if (text) return values.*text;
    if (flag) return BooleanSettingText(values.*flag);
    return std::to_string(values.*number);
}

bool WriteStoredValue(SettingsStore& store, const StoredSetting& row, const StoredValues& values) {
    const std::string key(row.key);
    std::string text = row.TextOf(values);
    WipedOnExit wipeText(text);
    if (!row.protectedText || text.empty()) return store.Write(key, text);
    return store.WriteProtected(key, text) || store.Write(key, "");
}

std::span<const StoredSetting> StoredSettings() { return kStoredSettings; }

const StoredSetting& StoredSettingOf(std::int32_t StoredValues::*number) {
    return RowOf(&StoredSetting::number, number);
}

const StoredSetting& StoredSettingOf(std::string StoredValues::*text) { return RowOf(&StoredSetting::text, text); }

const StoredSetting& StoredSettingOf(bool StoredValues::*flag) { return RowOf(&StoredSetting::flag, flag); }

StoredValues DefaultStoredValues() {
    StoredValues values;
    for (const StoredSetting& row : kStoredSettings) {
        if (row.number) values.*row.number = row.fallback;
    }
    return values;
}

StoredValues LoadStoredValues(SettingsStore& store) {
    StoredValues values = DefaultStoredValues();
    const StoredSetting& persistent = StoredSettingOf(&StoredValues::persistent);
    if (const auto text = store.Read(std::string(persistent.key))) Load(persistent, *text, values);
    if (!values.persistent) return values;
    for (const StoredSetting& row : kStoredSettings) {
        if (&row == &persistent) continue;
        const std::string key(row.key);
        if (const auto text = row.protectedText ? store.ReadProtected(key) : store.Read(key)) Load(row, *text, values);
    }
    return values;
}

std::vector<std::string_view> InvalidStoredValues(const StoredValues& values) {
    std::vector<std::string_view> complaints;
    for (const StoredSetting& row : kStoredSettings) {
        if (!row.invalidText.empty() && !row.Accepts(values.*row.number)) complaints.push_back(row.invalidText);
    }
    return complaints;
}

}  // namespace zankit::mail
