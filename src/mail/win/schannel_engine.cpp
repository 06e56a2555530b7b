// The TLS engine on Windows: Schannel through SSPI. The server's certificate is checked here,
// not by Schannel, so that each kind of fault gets its own text and AllowInvalidCertificate
// can take any certificate: the chain against the trusted roots, then the SSL policy with the
// server name.
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "frame/unique_handle.h"
#include "mail/dns/dns_discovery.h"
#include "mail/tls/tls_engine.h"
#include "mail/win/schannel_engine.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

#ifndef SP_PROT_TLS1_3_CLIENT
#define SP_PROT_TLS1_3_CLIENT 0x00002000
#endif

std::string StatusText(std::string_view prefix, SECURITY_STATUS status) {
    char buffer[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(status), 0, buffer, static_cast<DWORD>(sizeof buffer), nullptr);
    std::string detail(buffer, length);
    while (!detail.empty() &&
           (detail.back() == '\r' || detail.back() == '\n' || detail.back() == ' ' || detail.back() == '.')) {
        detail.pop_back();
    }
    if (detail.empty()) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
        detail = code;
    }
    return std::string(prefix) + " (" + detail + ")";
}

// The text for a certificate the policy refused.
std::string_view CertificateFault(LONG policyError) {
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

// Handshake statuses that say what is wrong with the certificate.
std::string HandshakeFault(SECURITY_STATUS status) {
    switch (status) {
        case SEC_E_UNTRUSTED_ROOT:
        case SEC_E_CERT_UNKNOWN:
            return std::string(kCertificateNotTrusted);
        case SEC_E_WRONG_PRINCIPAL:
            return std::string(kCertificateNameMismatch);
        case SEC_E_CERT_EXPIRED:
            return std::string(kCertificateExpired);
        default:
            return StatusText(kTlsHandshakeFailed, status);
    }
}

void FreeCertificate(PCCERT_CONTEXT certificate) { ::CertFreeCertificateContext(certificate); }
void FreeChain(PCCERT_CHAIN_CONTEXT chain) { ::CertFreeCertificateChain(chain); }
using CertificateHandle = UniqueHandle<PCCERT_CONTEXT, &FreeCertificate>;
using ChainHandle = UniqueHandle<PCCERT_CHAIN_CONTEXT, &FreeChain>;

// The buffers SSPI allocated for an output token, freed when they go.
class OutputToken {
public:
    OutputToken() {
        buffer_.BufferType = SECBUFFER_TOKEN;
        description_.ulVersion = SECBUFFER_VERSION;
        description_.cBuffers = 1;
        description_.pBuffers = &buffer_;
    }
    ~OutputToken() {
        if (buffer_.pvBuffer) ::FreeContextBuffer(buffer_.pvBuffer);
    }
    OutputToken(const OutputToken&) = delete;
    OutputToken& operator=(const OutputToken&) = delete;
    SecBufferDesc* Description() { return &description_; }
    void AppendTo(std::string& out) const {
        if (buffer_.pvBuffer && buffer_.cbBuffer > 0)
            out.append(static_cast<const char*>(buffer_.pvBuffer), buffer_.cbBuffer);
    }

private:
    SecBuffer buffer_{};
    SecBufferDesc description_{};
};

class SchannelEngine final : public TlsEngine {
public:
    SchannelEngine() = default;
    ~SchannelEngine() override {
        if (haveContext_) ::DeleteSecurityContext(&context_);
        if (haveCredentials_) ::FreeCredentialsHandle(&credentials_);
    }
    SchannelEngine(const SchannelEngine&) = delete;
    SchannelEngine& operator=(const SchannelEngine&) = delete;

    TlsStep Begin(const std::string& serverName, bool allowInvalidCertificate) override {
        TlsStep step;
        serverName_ = AnsiToWide(serverName);
        allowInvalid_ = allowInvalidCertificate;
        SCHANNEL_CRED settings{};
        settings.dwVersion = SCHANNEL_CRED_VERSION;
        settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
        SECURITY_STATUS status = Acquire(settings);
        if (status != SEC_E_OK) {
            // A platform without TLS 1.3 refuses the pair; it gets its own choice of versions.
            settings.grbitEnabledProtocols = 0;
            status = Acquire(settings);
        }
        if (status != SEC_E_OK) return Failure(StatusText(kTlsHandshakeFailed, status));
        std::string none;
        return Step(none, step);
    }

    TlsStep Handshake(std::string& input) override {
        TlsStep step;
        return Step(input, step);
    }

    std::size_t MaxRecordPlainBytes() const override { return sizes_.cbMaximumMessage; }

    bool Encrypt(std::string_view plain, std::string& out) override {
        const std::size_t start = out.size();
        out.resize(start + sizes_.cbHeader + plain.size() + sizes_.cbTrailer);
        char* record = &out[start];
        std::memcpy(record + sizes_.cbHeader, plain.data(), plain.size());
        SecBuffer buffers[4] = {};
        buffers[0] = {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record};
        buffers[1] = {static_cast<unsigned long>(plain.size()), SECBUFFER_DATA, record + sizes_.cbHeader};
        buffers[2] = {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes_.cbHeader + plain.size()};
        buffers[3] = {0, SECBUFFER_EMPTY, nullptr};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        if (::EncryptMessage(&context_, 0, &description, 0) != SEC_E_OK) {
            out.resize(start);
            return false;
        }
        out.resize(start + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        return true;
    }

    TlsStep Decrypt(std::string& input, std::string& plain) override {
        TlsStep step;
        while (!input.empty()) {
            SecBuffer buffers[4] = {};
            buffers[0] = {static_cast<unsigned long>(input.size()), SECBUFFER_DATA, input.data()};
            for (int i = 1; i < 4; ++i) buffers[i] = {0, SECBUFFER_EMPTY, nullptr};
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = ::DecryptMessage(&context_, &description, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) break;
            if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
                step.failed = true;
                step.error = StatusText(kTlsRecordFailed, status);
                return step;
            }
            std::string extra;
            for (const SecBuffer& buffer : buffers) {
                if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
                    plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                }
                if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0) {
                    extra.assign(input.data() + input.size() - buffer.cbBuffer, buffer.cbBuffer);
                }
            }
            input = std::move(extra);
            if (status == SEC_I_CONTEXT_EXPIRED) {
                step.closed = true;
                return step;
            }
            if (status == SEC_I_RENEGOTIATE) {
                // Post-handshake messages (session tickets): the context takes them through
                // the handshake call and may answer.
                TlsStep renewed;
                renewed = Step(input, renewed);
                if (renewed.failed) return renewed;
                step.output += renewed.output;
            }
        }
        return step;
    }

    std::string Shutdown() override {
        if (!established_) return {};
        DWORD token = SCHANNEL_SHUTDOWN;
        SecBuffer buffer{sizeof token, SECBUFFER_TOKEN, &token};
        SecBufferDesc description{SECBUFFER_VERSION, 1, &buffer};
        if (::ApplyControlToken(&context_, &description) != SEC_E_OK) return {};
        OutputToken output;
        DWORD attributes = 0;
        ::InitializeSecurityContextW(&credentials_, &context_, nullptr, kContextFlags, 0, 0, nullptr, 0, nullptr,
                                     output.Description(), &attributes, nullptr);
        std::string alert;
        output.AppendTo(alert);
        established_ = false;
        return alert;
    }

private:
    SECURITY_STATUS Acquire(SCHANNEL_CRED& settings) {
        TimeStamp expiry{};
        const SECURITY_STATUS status =
            ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                        &settings, nullptr, nullptr, &credentials_, &expiry);
        haveCredentials_ = status == SEC_E_OK;
        return status;
    }

    static TlsStep Failure(std::string error) {
        TlsStep step;
        step.failed = true;
        step.error = std::move(error);
        return step;
    }

    // One call of the handshake over input; repeats while the context uses input up and asks
    // for more of what is already there.
    TlsStep& Step(std::string& input, TlsStep& step) {
        for (;;) {
            SecBuffer inBuffers[2] = {};
            inBuffers[0] = {static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()};
            inBuffers[1] = {0, SECBUFFER_EMPTY, nullptr};
            SecBufferDesc inDescription{SECBUFFER_VERSION, 2, inBuffers};
            OutputToken output;
            DWORD attributes = 0;
            const bool first = !haveContext_;
            if (!first && input.empty()) return step;
            const SECURITY_STATUS status = ::InitializeSecurityContextW(
                &credentials_, first ? nullptr : &context_, first ? const_cast<wchar_t*>(serverName_.c_str()) : nullptr,
                kContextFlags, 0, 0, first ? nullptr : &inDescription, 0, first ? &context_ : nullptr,
                output.Description(), &attributes, nullptr);
            if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) haveContext_ = true;
            output.AppendTo(step.output);
            if (status == SEC_E_INCOMPLETE_MESSAGE) return step;
            if (status == SEC_I_INCOMPLETE_CREDENTIALS) continue;  // no client certificate; ask again
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
                step.failed = true;
                step.error = HandshakeFault(status);
                return step;
            }
            // What the context did not use stays for the next call.
            if (!first) {
                if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0) {
                    input.erase(0, input.size() - inBuffers[1].cbBuffer);
                } else {
                    input.clear();
                }
            }
            if (status == SEC_I_CONTINUE_NEEDED) {
                if (first) return step;
                continue;
            }
            if (!established_) Finish(step);
            return step;
        }
    }

    void Finish(TlsStep& step) {
        if (::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) {
            step.failed = true;
            step.error = std::string(kTlsHandshakeFailed);
            return;
        }
        const std::string_view fault = CheckCertificate();
        if (!fault.empty() && !allowInvalid_) {
            step.failed = true;
            step.error = std::string(fault);
            return;
        }
        step.certificateUnchecked = !fault.empty();
        established_ = true;
        step.done = true;
    }

    // Empty when the server's certificate chains to a trusted root and names the server.
    std::string_view CheckCertificate() {
        CertificateHandle certificate;
        if (::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.Put()) != SEC_E_OK ||
            certificate.Get() == nullptr) {
            return kCertificateNotTrusted;
        }
        char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
        LPSTR usages[] = {serverAuth};
        CERT_CHAIN_PARA chainParameters{};
        chainParameters.cbSize = sizeof chainParameters;
        chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
        chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
        chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        ChainHandle chain;
        if (!::CertGetCertificateChain(nullptr, certificate.Get(), nullptr, certificate.Get()->hCertStore,
                                       &chainParameters, 0, nullptr, chain.Put())) {
            return kCertificateNotTrusted;
        }
        // Any fault of the chain itself (an unknown root, a missing link, a date out of range)
        // refuses the certificate; revocation is not asked for, so its unknown state is no fault.
        const DWORD chainFaults = chain.Get()->TrustStatus.dwErrorStatus &
                                  ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
        if (chainFaults & CERT_TRUST_IS_NOT_TIME_VALID) return kCertificateExpired;
        if (chainFaults & CERT_TRUST_IS_REVOKED) return kCertificateRevoked;
        if (chainFaults != 0) return kCertificateNotTrusted;
        HTTPSPolicyCallbackData sslParameters{};
        sslParameters.cbStruct = sizeof sslParameters;
        sslParameters.dwAuthType = AUTHTYPE_SERVER;
        sslParameters.pwszServerName = const_cast<wchar_t*>(serverName_.c_str());
        CERT_CHAIN_POLICY_PARA policyParameters{};
        policyParameters.cbSize = sizeof policyParameters;
        policyParameters.pvExtraPolicyPara = &sslParameters;
        CERT_CHAIN_POLICY_STATUS policyStatus{};
        policyStatus.cbSize = sizeof policyStatus;
        if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policyParameters, &policyStatus)) {
            return kCertificateNotTrusted;
        }
        if (policyStatus.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH) && NamesAddress(certificate.Get())) {
            policyStatus.dwError = 0;
        }
        if (policyStatus.dwError != 0) return CertificateFault(static_cast<LONG>(policyStatus.dwError));
        return {};
    }

    // True when the server was named by an IPv4 address that the certificate lists among its
    // alternative names (the SSL policy compares host names only).
    bool NamesAddress(PCCERT_CONTEXT certificate) const {
        const std::optional<IPv4Bytes> address = ParseDottedIPv4(WideToAnsi(serverName_));
        if (!address) return false;
        const CERT_INFO* info = certificate->pCertInfo;
        const CERT_EXTENSION* extension =
            ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
        if (extension == nullptr) return false;
        CERT_ALT_NAME_INFO* names = nullptr;
        DWORD size = 0;
        if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                   extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size)) {
            return false;
        }
        bool found = false;
        for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
            const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
            found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == address->size() &&
                    std::memcmp(entry.IPAddress.pbData, address->data(), address->size()) == 0;
        }
        ::LocalFree(names);
        return found;
    }

    std::wstring serverName_;
    bool allowInvalid_ = false;
    CredHandle credentials_{};
    CtxtHandle context_{};
    bool haveCredentials_ = false;
    bool haveContext_ = false;
    bool established_ = false;
    SecPkgContext_StreamSizes sizes_{};
};

}  // namespace

std::unique_ptr<TlsEngine> MakeSchannelEngine() { return std::make_unique<SchannelEngine>(); }

}  // namespace zankit::mail
