// What the EHLO reply offers (STARTTLS, the AUTH mechanisms), which login mechanism a session
// uses, and the initial responses and challenge answers of the mechanisms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mail/mail_types.h"

namespace zankit::mail {

// A login mechanism chosen for a session; none when the server offers nothing usable.
enum class LoginMechanism { None, Login, Plain, CramMd5, XOAuth2 };

// What the lines of an EHLO reply announce.
struct ServerOffer {
    bool startTls = false;
    bool eightBitMime = false;  // 8BITMIME: message text may hold bytes above 127
    bool smtpUtf8 = false;      // SMTPUTF8: addresses may hold UTF-8
    bool pipelining = false;    // PIPELINING: the envelope may leave in one write
    // Mechanisms of the AUTH lines ("AUTH PLAIN LOGIN", also "AUTH=LOGIN"), upper-case.
    std::vector<std::string> mechanisms;
    // "auth" and "login" appear anywhere in the reply: the session's long-standing test for
    // AUTH LOGIN.
    bool loginMentioned = false;

    bool Offers(std::string_view mechanism) const;
};

ServerOffer ServerOfferOf(const std::vector<std::string>& replyLines, std::string_view replyText);

// The mechanism for a login. AUTH_AUTOMATIC takes, over an encrypted session, XOAUTH2 when an
// access token is given, then PLAIN, LOGIN and CRAM-MD5; over a clear session only LOGIN, as a
// session without TLS always has. An explicit choice is used when the server offers it; a value
// outside the enumeration chooses none.
LoginMechanism ChooseLoginMechanism(std::int32_t requested, const ServerOffer& offer, bool encrypted,
                                    bool haveAccessToken);

// The base64 initial response of AUTH PLAIN: NUL, user, NUL, password.
std::string PlainInitialResponse(std::string_view user, std::string_view password);
// The base64 initial response of AUTH XOAUTH2: "user=" user ^A "auth=Bearer " token ^A ^A.
std::string XOAuth2InitialResponse(std::string_view user, std::string_view accessToken);
// The base64 answer to a CRAM-MD5 challenge (the text of the 334 reply after its code): the
// user, a space and the hexadecimal HMAC-MD5 of the decoded challenge keyed by the password.
std::string CramMd5Answer(std::string_view challengeReply, std::string_view user, std::string_view password);

}  // namespace zankit::mail
