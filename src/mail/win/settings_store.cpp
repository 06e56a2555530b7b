// The mail object's settings store on Windows: the frame's per-user store, whose values are
// UTF-16, seen through the UTF-8 texts of the mail core; every character is kept.
#include <memory>

#include "frame/user_settings.h"
#include "mail/mail_seam.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

class UserSettingsStore final : public SettingsStore {
public:
    explicit UserSettingsStore(const std::string& section) : section_(Utf8ToWide(section)) {}

    std::optional<std::string> Read(const std::string& key) override {
        const std::optional<std::wstring> value = ReadUserSetting(section_, Utf8ToWide(key));
        if (!value) return std::nullopt;
        try {
            return WideToUtf8(*value);
        } catch (const TextConversionError&) {
            return std::nullopt;  // not text (a lone surrogate): taken as absent, the default applies
        }
    }

    bool Write(const std::string& key, const std::string& value) override {
        return WriteUserSetting(section_, Utf8ToWide(key), Utf8ToWide(value));
    }

private:
    std::wstring section_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakePlatformSettingsStore(const std::string& section) {
    return std::make_unique<UserSettingsStore>(section);
}

}  // namespace zankit::mail
