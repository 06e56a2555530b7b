// What the OAuth sign-in needs from the platform: HTTPS form posts with the certificate checks
// on, a one-shot listener on the loopback address for the browser's redirect, the user's default
// browser, and random bytes for the verifier and the state.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace zankit::mail {

// A failure of the sign-in or of a token renewal; what() is the text the host sees.
class OAuthError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What an endpoint answered. body holds at most the limit the post was given plus one byte, so
// a longer answer is recognised without being kept.
struct HttpsAnswer {
    long status = 0;
    std::string contentType;
    std::string body;
};

// A listener on 127.0.0.1 that takes one request at a time.
class LoopbackListener {
public:
    virtual ~LoopbackListener() = default;
    virtual int Port() const = 0;
    // The request target ("/?code=...") of the next GET that arrives within waitMilliseconds;
    // nothing when none came. The request is answered by the next Answer call.
    virtual std::optional<std::string> NextRequest(unsigned waitMilliseconds) = 0;
    // Answers the request taken last with status and a small HTML page, and closes it.
    virtual void Answer(int status, const std::string& html) = 0;
};

class OAuthNetwork {
public:
    virtual ~OAuthNetwork() = default;
    // POSTs form (application/x-www-form-urlencoded) to an https URL, asking for JSON, with the
    // server's certificate checked. Throws OAuthError when no answer came.
    virtual HttpsAnswer PostForm(const std::string& url, const std::string& form, std::size_t maxBodyBytes) = 0;
    // Listens on a free port of 127.0.0.1; throws OAuthError when it cannot.
    virtual std::unique_ptr<LoopbackListener> ListenOnLoopback() = 0;
    // Opens url in the user's default browser; false when no browser took it.
    virtual bool OpenInBrowser(const std::string& url) = 0;
    // count bytes from the platform's cryptographic random source; throws OAuthError without one.
    virtual std::string RandomBytes(std::size_t count) = 0;
};

// The platform's network for the sign-in (WinHTTP, Winsock and the shell), handed out by the
// Windows mail system.
std::unique_ptr<OAuthNetwork> MakePlatformOAuthNetwork();

}  // namespace zankit::mail
