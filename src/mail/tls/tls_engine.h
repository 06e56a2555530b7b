// The client side of a TLS connection as bytes in, bytes out: the handshake, the records and
// the closing alert. It owns no socket; TlsChannel moves its bytes. The platform supplies the
// engine (Schannel inside the DLL); the native tests use a scripted stand-in.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zankit::mail {

// Texts of TLS failures, as SendFailed carries them.
inline constexpr std::string_view kTlsNotOffered = "TLS not offered by server";
inline constexpr std::string_view kTlsUnavailable = "TLS is not available on this system";
inline constexpr std::string_view kCertificateNotTrusted = "Certificate not trusted";
inline constexpr std::string_view kCertificateNameMismatch = "Certificate name mismatch";
inline constexpr std::string_view kCertificateExpired = "Certificate expired";
inline constexpr std::string_view kCertificateRevoked = "Certificate revoked";
inline constexpr std::string_view kTlsHandshakeFailed = "TLS handshake failed";
inline constexpr std::string_view kTlsClosedInHandshake = "Connection closed during the TLS handshake";
inline constexpr std::string_view kTlsRecordFailed = "TLS record could not be decrypted";
// Status text of a handshake that took a certificate only because allowInvalidCertificate was set.
inline constexpr std::string_view kCertificateNotChecked = "Certificate not checked";
// Why a handshake that finished with TLS 1.0 or 1.1 is refused.
inline constexpr std::string_view kTlsVersionTooOld = "the server speaks no TLS 1.2 or later";
// Why a connection ends whose server asked for a new handshake the system cannot begin.
inline constexpr std::string_view kRenegotiationNotStarted = "the server asked for a new handshake, which could not be started";
// A Status text: the certificate was taken though nobody could say whether it was revoked.
inline constexpr std::string_view kRevocationNotChecked = "Certificate revocation could not be checked";

// What one engine call produced. output holds bytes for the server; failed ends the
// connection with error as its description.
struct TlsStep {
    std::string output;
    bool done = false;    // the handshake has finished (Handshake only)
    bool closed = false;  // the server sent its closing alert (Decrypt only)
    bool failed = false;
    std::string error;
    // With done: the certificate failed a check and was taken because allowInvalidCertificate was set.
    bool certificateUnchecked = false;
    std::string notice;  // something the user should hear about a connection that goes on
};

class TlsEngine {
public:
    virtual ~TlsEngine() = default;
    // Starts the handshake for serverName, matched against the certificate and sent as SNI
    // unless it is an address. With allowInvalidCertificate any certificate is taken.
    virtual TlsStep Begin(const std::string& serverName, bool allowInvalidCertificate) = 0;
    // Takes handshake bytes from the front of input, leaving what it could not use yet; once
    // done, input keeps the bytes that follow the handshake (records for Decrypt).
    virtual TlsStep Handshake(std::string& input) = 0;
    // The largest plain text one record carries.
    virtual std::size_t MaxRecordPlainBytes() const = 0;
    // Appends the records carrying plain (at most MaxRecordPlainBytes) to out.
    virtual bool Encrypt(std::string_view plain, std::string& out) = 0;
    // Takes whole records from the front of input and appends their plain text to plain.
    // output may carry bytes the engine must answer with: the server may start a new
    // handshake, whose certificate is checked like the first one.
    virtual TlsStep Decrypt(std::string& input, std::string& plain) = 0;
    // True while a handshake the server started on the secured connection runs; no records
    // can be made then.
    virtual bool Renegotiating() const { return false; }
    // The closing alert; empty when none can be made.
    virtual std::string Shutdown() = 0;
};

// Makes a fresh engine per connection; nothing when the platform has no TLS.
using TlsEngineFactory = std::function<std::unique_ptr<TlsEngine>()>;

}  // namespace zankit::mail
