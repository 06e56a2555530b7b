// The chain parameters' later fields carry the time-out of fetching revocation lists.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "mail/win/server_certificate.h"

#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <vector>

#include "frame/unique_handle.h"
#include "mail/tls/tls_engine.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

static_assert(chain_status::kNotTimeValid == CERT_TRUST_IS_NOT_TIME_VALID);
static_assert(chain_status::kRevoked == CERT_TRUST_IS_REVOKED);
static_assert(chain_status::kRevocationUnknown == CERT_TRUST_REVOCATION_STATUS_UNKNOWN);
static_assert(chain_status::kRevocationOffline == CERT_TRUST_IS_OFFLINE_REVOCATION);

// Checks of the SSL policy to leave out (HTTPSPolicyCallbackData::fdwChecks): revocation is
// judged from the chain already; for an address the name check is done here.
constexpr DWORD kIgnoreRevocation = 0x00000080;
constexpr DWORD kIgnoreName = 0x00001000;
// All revocation lists of one chain together may take this long to arrive; a list that does
// not arrive in time counts as unreachable.
constexpr DWORD kRevocationFetchMilliseconds = 15000;

void FreeChain(PCCERT_CHAIN_CONTEXT chain) { ::CertFreeCertificateChain(chain); }
using ChainHandle = UniqueHandle<PCCERT_CHAIN_CONTEXT, &FreeChain>;

// The text for a certificate the policy refused.
std::string_view PolicyFault(DWORD policyError) {
    switch (static_cast<HRESULT>(policyError)) {
        case CERT_E_CN_NO_MATCH:
            return kCertificateNameMismatch;
        case CERT_E_EXPIRED:
        case CERT_E_VALIDITYPERIODNESTING:
            return kCertificateExpired;
        case CRYPT_E_REVOKED:
            return kCertificateRevoked;
        default:
            return kCertificateNotTrusted;
    }
}

// The address entries of the certificate's alternative names.
std::vector<AddressBytes> CertificateAddresses(PCCERT_CONTEXT certificate) {
    std::vector<AddressBytes> addresses;
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* extension = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (extension == nullptr) return addresses;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size)) {
        return addresses;
    }
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice != CERT_ALT_NAME_IP_ADDRESS) continue;
        addresses.emplace_back(entry.IPAddress.pbData, entry.IPAddress.pbData + entry.IPAddress.cbData);
    }
    ::LocalFree(names);
    return addresses;
}

}  // namespace

ChainVerdict CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& serverName) {
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainParameters{};
    chainParameters.cbSize = sizeof chainParameters;
    chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    chainParameters.dwUrlRetrievalTimeout = kRevocationFetchMilliseconds;
    ChainHandle chain;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainParameters,
                                   CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                       CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                                   nullptr, chain.Put())) {
        return {kCertificateNotTrusted};
    }
    const ChainVerdict verdict = JudgeChain(chain.Get()->TrustStatus.dwErrorStatus);
    if (!verdict.fault.empty()) return verdict;

    const std::optional<AddressBytes> address = ParseHostAddress(WideToAnsi(serverName));
    HTTPSPolicyCallbackData sslParameters{};
    sslParameters.cbStruct = sizeof sslParameters;
    sslParameters.dwAuthType = AUTHTYPE_SERVER;
    sslParameters.fdwChecks = kIgnoreRevocation | (address ? kIgnoreName : 0);
    sslParameters.pwszServerName = address ? nullptr : const_cast<wchar_t*>(serverName.c_str());
    CERT_CHAIN_POLICY_PARA policyParameters{};
    policyParameters.cbSize = sizeof policyParameters;
    policyParameters.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policyParameters.pvExtraPolicyPara = &sslParameters;
    CERT_CHAIN_POLICY_STATUS policyStatus{};
    policyStatus.cbSize = sizeof policyStatus;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policyParameters, &policyStatus)) {
        return {kCertificateNotTrusted};
    }
    if (policyStatus.dwError != 0) return {PolicyFault(policyStatus.dwError)};
    if (address && !CertificateNamesAddress(*address, CertificateAddresses(certificate))) {
        return {kCertificateNameMismatch};
    }
    return verdict;
}

}  // namespace zankit::mail
