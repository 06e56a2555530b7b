// The mail object's settings store on Windows: the frame's per-user store, whose values are
// UTF-16, seen through the UTF-8 texts of the mail core; every character is kept. Secrets are
// kept as the base64 text of the user's data-protection blob.
#include <windows.h>
#include <wincrypt.h>

#include <memory>

#include "frame/user_settings.h"
#include "mail/mail_seam.h"
#include "mail/message/encodings.h"
#include "mail/secret_text.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

// Mixed into every protected value, so that a blob of another program is not taken for ours.
constexpr char kEntropy[] = "ZanKit mail settings";

DATA_BLOB BlobOf(std::string_view bytes) {
    return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

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

    std::optional<std::string> ReadProtected(const std::string& key) override {
        const std::optional<std::string> stored = Read(key);
        if (!stored || stored->empty()) return stored;
        const std::string blob = DecodeBase64String(*stored);
        DATA_BLOB input = BlobOf(blob);
        DATA_BLOB entropy = BlobOf(kEntropy);
        DATA_BLOB output{};
        if (!CryptUnprotectData(&input, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &output)) {
            return std::nullopt;
        }
        const LocalMemoryHandle owned(output.pbData);
        std::string value(reinterpret_cast<const char*>(output.pbData), output.cbData);
        SecureZeroMemory(output.pbData, output.cbData);
        return value;
    }

    bool WriteProtected(const std::string& key, const std::string& value) override {
        DATA_BLOB input = BlobOf(value);
        DATA_BLOB entropy = BlobOf(kEntropy);
        DATA_BLOB output{};
        if (!CryptProtectData(&input, L"ZanKit", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &output)) {
            return false;
        }
        const LocalMemoryHandle owned(output.pbData);
        return Write(key, Base64OneLine(std::string_view(reinterpret_cast<const char*>(output.pbData), output.cbData)));
    }

private:
    std::wstring section_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakePlatformSettingsStore(const std::string& section) {
    return std::make_unique<UserSettingsStore>(section);
}

}  // namespace zankit::mail
