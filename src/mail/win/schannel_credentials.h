// The client credentials every Schannel connection of the mail object starts from.
#pragma once

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

namespace zankit::mail {

// Acquires outbound credentials that allow TLS 1.2 and, where the system has it, TLS 1.3, and
// nothing older; the certificate is left to the caller. Returns the status of the last try.
SECURITY_STATUS AcquireTlsCredentials(CredHandle& credentials);

// True when a finished handshake's protocol (SecPkgContext_ConnectionInfo::dwProtocol) is
// TLS 1.2 or 1.3. Checked after every handshake, as a system may take the credentials and
// still negotiate an older version; a version this code does not know counts as too old.
bool IsTls12OrLater(DWORD protocol);

}  // namespace zankit::mail
