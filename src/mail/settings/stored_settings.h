// The values a mail object remembers per user while PersistentSettings is on, and the one
// table of them: the name each is stored under, the property it belongs to, its default and
// the values it may take. Loading, saving and the checks of stored values all come from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mail/mail_seam.h"

namespace zankit::mail {

// Complaints of a stored Security or AuthMechanism outside its enumeration. Such a value is
// kept, and every Send and Connect refuses with its complaint before any connection: falling
// back to the default would send without TLS.
inline constexpr std::string_view kInvalidStoredSecurity = "Invalid stored setting: Security";
inline constexpr std::string_view kInvalidStoredAuthMechanism = "Invalid stored setting: AuthMechanism";

struct StoredValues {
    bool persistent = false;
    std::string from;
    std::string fromDisplayName;
    std::string pop3Host;
    std::string smtpHost;
    std::int32_t smtpPort = 0;
    std::int32_t smtpHostValidation = 0;
    std::int32_t emailValidation = 0;
    std::int32_t connectTimeout = 0;
    std::int32_t messageTimeout = 0;
    std::int32_t connectRetry = 0;
    std::int32_t encodeType = 0;
    std::string username;
    bool useAuthentication = false;
    bool usePopAuthentication = false;
    std::int32_t maxRecipients = 0;
    std::int32_t security = 0;
    std::int32_t authMechanism = 0;
    std::string oauthTokenUrl;
    std::string oauthDeviceCodeUrl;
    std::string oauthAuthorizeUrl;
    std::string oauthClientId;
    std::string oauthScope;
    std::string oauthClientSecret;  // stored protected
    std::string oauthRefreshToken;  // stored protected

    bool operator==(const StoredValues&) const = default;
};

// One stored value. Exactly one of text, number and flag names its member. Texts are stored
// as they are, numbers in decimal, flags as "-1" and "0"; a flag or text defaults to false or "".
struct StoredSetting {
    std::string_view key = {};       // the name in the store
    std::string_view property = {};  // the property of the class, where its name is not the key
    std::string StoredValues::*text = nullptr;
    std::int32_t StoredValues::*number = nullptr;
    bool StoredValues::*flag = nullptr;
    std::int32_t fallback = 0;  // a number's default
    std::int32_t lowest = INT32_MIN;
    std::int32_t highest = INT32_MAX;
    bool trimmed = false;  // a text loses its surrounding spaces, as its setter does
    // A secret: stored only encrypted for the current user (SettingsStore::WriteProtected).
    bool protectedText = false;
    // For a number outside lowest..highest: the complaint that keeps the object from sending.
    // Without one such a number falls back to its default.
    std::string_view invalidText = {};

    std::string_view Property() const { return property.empty() ? key : property; }
    bool Accepts(std::int32_t value) const { return value >= lowest && value <= highest; }
    // The stored text of the member's value in values.
    std::string TextOf(const StoredValues& values) const;
};

// Every stored value.
std::span<const StoredSetting> StoredSettings();
// The row of a member; every member of StoredValues has one.
const StoredSetting& StoredSettingOf(std::int32_t StoredValues::*number);
const StoredSetting& StoredSettingOf(std::string StoredValues::*text);
const StoredSetting& StoredSettingOf(bool StoredValues::*flag);

// Every member at its default.
StoredValues DefaultStoredValues();
// Writes the row's value of values to store; a protected value the store cannot protect is
// stored empty, so no older secret stays behind. False when the store cannot be written.
bool WriteStoredValue(SettingsStore& store, const StoredSetting& row, const StoredValues& values);
// Reads every value from store while its PersistentSettings is on, else keeps the defaults.
// A text that is not a number, or a number out of range, gives the default; a number of a row
// with an invalidText is kept whatever it is (one that is not a number as -1).
StoredValues LoadStoredValues(SettingsStore& store);
// The complaints of the numbers in values that are out of range and marked to refuse.
std::vector<std::string_view> InvalidStoredValues(const StoredValues& values);

}  // namespace zankit::mail
