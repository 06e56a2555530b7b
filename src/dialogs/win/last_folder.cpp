#include "dialogs/last_folder.h"

#include "frame/user_settings.h"

namespace zankit::dialogs {
namespace {

constexpr wchar_t kSection[] = L"Dialogs";
constexpr wchar_t kValueName[] = L"LastDir";

}  // namespace

std::wstring ReadLastFolder() { return ReadUserSetting(kSection, kValueName).value_or(std::wstring()); }

void StoreLastFolder(const std::wstring& folder) { WriteUserSetting(kSection, kValueName, folder); }

}  // namespace zankit::dialogs
