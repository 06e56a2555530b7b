// Newer systems take the version range as protocols to disable (SCH_CREDENTIALS); older ones
// know only the list of protocols to enable (SCHANNEL_CRED), and refuse one they do not know.
// Each try names TLS 1.2 as the lowest version: an empty list would mean the system's own
// choice, which may reach back to SSL 3.0.
#include <windows.h>
#include <subauth.h>
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include <schannel.h>
#include <security.h>

#include "mail/win/schannel_credentials.h"

namespace zankit::mail {
namespace {

constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
constexpr DWORD kBelowTls12 =
    SP_PROT_PCT1_CLIENT | SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;

SECURITY_STATUS Acquire(void* settings, CredHandle& credentials) {
    TimeStamp expiry{};
    return ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                       settings, nullptr, nullptr, &credentials, &expiry);
}

SECURITY_STATUS AcquireByDisabledProtocols(CredHandle& credentials) {
    TLS_PARAMETERS versions{};
    versions.grbitDisabledProtocols = kBelowTls12;
    SCH_CREDENTIALS settings{};
    settings.dwVersion = SCH_CREDENTIALS_VERSION;
    settings.dwFlags = kCredentialFlags;
    settings.cTlsParameters = 1;
    settings.pTlsParameters = &versions;
    return Acquire(&settings, credentials);
}

SECURITY_STATUS AcquireByEnabledProtocols(DWORD protocols, CredHandle& credentials) {
    SCHANNEL_CRED settings{};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.dwFlags = kCredentialFlags;
    settings.grbitEnabledProtocols = protocols;
    return Acquire(&settings, credentials);
}

}  // namespace

bool IsTls12OrLater(DWORD protocol) {
    return protocol != 0 && (protocol & ~static_cast<DWORD>(SP_PROT_TLS1_2 | SP_PROT_TLS1_3)) == 0;
}

SECURITY_STATUS AcquireTlsCredentials(CredHandle& credentials) {
    SECURITY_STATUS status = AcquireByDisabledProtocols(credentials);
    if (status != SEC_E_OK) status = AcquireByEnabledProtocols(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT, credentials);
    if (status != SEC_E_OK) status = AcquireByEnabledProtocols(SP_PROT_TLS1_2_CLIENT, credentials);
    return status;
}

}  // namespace zankit::mail
