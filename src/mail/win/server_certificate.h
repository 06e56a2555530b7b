// The check of a TLS server's certificate: the chain against the trusted roots, with
// revocation asked for every certificate but the root, then the name the server was asked by.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "mail/tls/certificate_rules.h"

namespace zankit::mail {

// serverName is the host the connection was made for: a name, or an address that only the
// certificate's address entries can match.
ChainVerdict CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& serverName);

}  // namespace zankit::mail
