// The native stand-in for the per-user settings store: one text file per section under
// $XDG_CONFIG_HOME/zankit/Postwerk (or ~/.config/zankit/Postwerk), written atomically.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "mail/mail_seam.h"
#include "mail/settings/settings_file_format.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

std::filesystem::path ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::filesystem::path(home) / ".config";
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
        return std::filesystem::path(user->pw_dir) / ".config";
    }
    return {};
}

class FileSettingsStore final : public SettingsStore {
public:
    explicit FileSettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

    std::optional<std::string> Read(const std::string& key) override {
        const auto entries = Load();
        if (!entries) return std::nullopt;
        for (const auto& [name, value] : *entries) {
            if (EqualsNoCase(name, key)) return value;
        }
        return std::nullopt;
    }

    bool Write(const std::string& key, const std::string& value) override {
        if (file_.empty()) return false;
        SettingEntries entries = Load().value_or(SettingEntries{});
        bool replaced = false;
        for (auto& [name, stored] : entries) {
            if (EqualsNoCase(name, key)) {
                stored = value;
                replaced = true;
                break;
            }
        }
        if (!replaced) entries.emplace_back(key, value);
        return Save(entries);
    }

private:
    std::optional<SettingEntries> Load() const {
        if (file_.empty()) return std::nullopt;
        std::ifstream input(file_, std::ios::binary);
        if (!input) return std::nullopt;
        const std::string content((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
        return ParseSettingsFile(content);
    }

    // Writes a neighbour file and renames it over the old one, so a reader never sees half.
    bool Save(const SettingEntries& entries) const {
        std::error_code error;
        std::filesystem::create_directories(file_.parent_path(), error);
        if (error) return false;
        std::filesystem::path temporary = file_;
        temporary += ".tmp" + std::to_string(::getpid());
        {
            std::ofstream output(temporary, std::ios::binary | std::ios::trunc);
            if (!output) return false;
            output << FormatSettingsFile(entries);
            output.flush();
            if (!output) {
                std::filesystem::remove(temporary, error);
                return false;
            }
        }
        std::filesystem::rename(temporary, file_, error);
        if (error) {
            std::filesystem::remove(temporary, error);
            return false;
        }
        return true;
    }

    std::filesystem::path file_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakePlatformSettingsStore(const std::string& section) {
    const auto home = ConfigHome();
    std::filesystem::path file;
    if (!home.empty()) file = home / "zankit" / "Postwerk" / section;
    return std::make_unique<FileSettingsStore>(std::move(file));
}

}  // namespace zankit::mail
