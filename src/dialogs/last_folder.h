// The folder the user chose last in one of the library's dialogs, kept per user so that
// the next dialog (in any process) starts there. Stored as the REG_SZ value "LastDir" under
// HKCU\Software\VB and VBA Program Settings\Postwerk\Dialogs, beside the mail settings.
#pragma once

#include <string>

namespace zankit::dialogs {

// "" when nothing is stored or the store cannot be read.
std::wstring ReadLastFolder();

// Failures are passed over: a dialog never fails because its folder could not be kept.
void StoreLastFolder(const std::wstring& folder);

}  // namespace zankit::dialogs
