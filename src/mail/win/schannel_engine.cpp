// The TLS engine on Windows: Schannel through SSPI. The server's certificate is checked here
// (server_certificate), not by Schannel, so that each kind of fault gets its own text and
// AllowInvalidCertificate can take any certificate. A server may start a new handshake on a
// secured connection; its records then go to the handshake call again until it is done, and
// the certificate it brings is checked like the first.
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "frame/unique_handle.h"
#include "mail/tls/certificate_rules.h"
#include "mail/tls/tls_engine.h"
#include "mail/win/schannel_credentials.h"
#include "mail/win/schannel_engine.h"
#include "mail/win/server_certificate.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

// A server that asks for a client certificate is answered once more without one; asking again
// ends the handshake.
constexpr int kCredentialRetries = 1;

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
using CertificateHandle = UniqueHandle<PCCERT_CONTEXT, &FreeCertificate>;

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
        serverName_ = AnsiToWide(serverName);
        sendsServerName_ = !ParseHostAddress(serverName).has_value();
        allowInvalid_ = allowInvalidCertificate;
        const SECURITY_STATUS status = AcquireTlsCredentials(credentials_);
        haveCredentials_ = status == SEC_E_OK;
        if (!haveCredentials_) return Failure(StatusText(kTlsHandshakeFailed, status));
        TlsStep step;
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
            if (renegotiating_) {
                // The records of a new handshake go to the handshake call until it is done.
                Step(input, step);
                if (step.failed || renegotiating_) return step;
                continue;
            }
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
                // A new handshake (or, with TLS 1.3, a message after the handshake such as a
                // session ticket): what follows belongs to the handshake call.
                renegotiating_ = true;
                credentialRetries_ = 0;
                Step(input, step, true);
                if (step.failed || renegotiating_) return step;
            }
        }
        return step;
    }

    bool Renegotiating() const override { return renegotiating_; }

    std::string Shutdown() override {
        if (!established_) return {};
        DWORD token = SCHANNEL_SHUTDOWN;
        SecBuffer buffer{sizeof token, SECBUFFER_TOKEN, &token};
        SecBufferDesc description{SECBUFFER_VERSION, 1, &buffer};
        if (::ApplyControlToken(&context_, &description) != SEC_E_OK) return {};
        OutputToken output;
        DWORD attributes = 0;
        ::InitializeSecurityContextW(&credentials_, &context_, nullptr, contextFlags_, 0, 0, nullptr, 0, nullptr,
                                     output.Description(), &attributes, nullptr);
        std::string alert;
        output.AppendTo(alert);
        established_ = false;
        return alert;
    }

private:
    static TlsStep Failure(std::string error) {
        TlsStep step;
        step.failed = true;
        step.error = std::move(error);
        return step;
    }

    // Calls the handshake function over input; repeats while the context uses input up and asks
    // for more of what is already there. With the first call the server name goes out as SNI,
    // unless it is an address.
    // callOnEmpty makes the first call even without input: a new handshake the server asked
    // for starts with the client's hello, made from no input at all (an empty token is
    // refused as an incomplete record).
    TlsStep& Step(std::string& input, TlsStep& step, bool callOnEmpty = false) {
        for (;;) {
            SecBuffer inBuffers[2] = {};
            inBuffers[0] = {static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()};
            inBuffers[1] = {0, SECBUFFER_EMPTY, nullptr};
            SecBufferDesc inDescription{SECBUFFER_VERSION, 2, inBuffers};
            OutputToken output;
            DWORD attributes = 0;
            const bool first = !haveContext_;
            if (!first && input.empty() && !callOnEmpty) return step;
            callOnEmpty = false;
            SecBufferDesc* received = first || input.empty() ? nullptr : &inDescription;
            wchar_t* target = first && sendsServerName_ ? const_cast<wchar_t*>(serverName_.c_str()) : nullptr;
            const SECURITY_STATUS status = ::InitializeSecurityContextW(
                &credentials_, first ? nullptr : &context_, target, contextFlags_, 0, 0,
                received, 0, first ? &context_ : nullptr, output.Description(), &attributes,
                nullptr);
            if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) haveContext_ = true;
            output.AppendTo(step.output);
            if (status == SEC_E_INCOMPLETE_MESSAGE && !first && received == nullptr) {
                // Asked for a new handshake, the system wants server bytes before the client's
                // hello, which the server waits for: nothing would move again.
                step.failed = true;
                step.error = std::string(kTlsHandshakeFailed) + " (" + std::string(kRenegotiationNotStarted) + ")";
                return step;
            }
            if (status == SEC_E_INCOMPLETE_MESSAGE) return step;
            if (status == SEC_I_INCOMPLETE_CREDENTIALS && credentialRetries_ < kCredentialRetries) {
                // The server asks for a client certificate; go on without one.
                ++credentialRetries_;
                contextFlags_ |= ISC_REQ_USE_SUPPLIED_CREDS;
                continue;
            }
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
            Finish(step);
            return step;
        }
    }

    // A handshake has finished, the first or a later one: its certificate decides.
    void Finish(TlsStep& step) {
        renegotiating_ = false;
        SecPkgContext_ConnectionInfo connection{};
        if (::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
            ::QueryContextAttributesW(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK) {
            step.failed = true;
            step.error = std::string(kTlsHandshakeFailed);
            return;
        }
        if (!IsTls12OrLater(connection.dwProtocol)) {
            step.failed = true;
            step.error = std::string(kTlsHandshakeFailed) + " (" + std::string(kTlsVersionTooOld) + ")";
            return;
        }
        const ChainVerdict verdict = CheckCertificate();
        if (!verdict.fault.empty() && !allowInvalid_) {
            step.failed = true;
            step.error = std::string(verdict.fault);
            return;
        }
        step.certificateUnchecked = !verdict.fault.empty();
        if (verdict.fault.empty() && verdict.revocationUnchecked) step.notice = std::string(kRevocationNotChecked);
        if (!established_) step.done = true;
        established_ = true;
    }

    ChainVerdict CheckCertificate() {
        CertificateHandle certificate;
        if (::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.Put()) != SEC_E_OK ||
            certificate.Get() == nullptr) {
            return {kCertificateNotTrusted};
        }
        return CheckServerCertificate(certificate.Get(), serverName_);
    }

    std::wstring serverName_;
    bool sendsServerName_ = true;
    bool allowInvalid_ = false;
    DWORD contextFlags_ = kContextFlags;
    int credentialRetries_ = 0;
    CredHandle credentials_{};
    CtxtHandle context_{};
    bool haveCredentials_ = false;
    bool haveContext_ = false;
    bool established_ = false;
    bool renegotiating_ = false;
    SecPkgContext_StreamSizes sizes_{};
};

}  // namespace

std::unique_ptr<TlsEngine> MakeSchannelEngine() { return std::make_unique<SchannelEngine>(); }

}  // namespace zankit::mail
