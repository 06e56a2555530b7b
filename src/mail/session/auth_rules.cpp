#include "mail/session/auth_rules.h"

#include <algorithm>

#include "mail/message/encodings.h"
#include "mail/secret_text.h"
#include "mail/session/hmac_md5.h"
#include "mail/session/session_rules.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// The words of text, split at spaces.
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) words.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

}  // namespace

bool ServerOffer::Offers(std::string_view mechanism) const {
    return std::find(mechanisms.begin(), mechanisms.end(), mechanism) != mechanisms.end();
}

ServerOffer ServerOfferOf(const std::vector<std::string>& replyLines, std::string_view replyText) {
    ServerOffer offer;
    offer.loginMentioned = OffersAuthLogin(replyText);
    for (const std::string& line : replyLines) {
        if (line.size() < 4) continue;
        const std::string keyword = UpperCase(TrimSpaces(line.substr(4)));
        if (keyword == "STARTTLS") offer.startTls = true;
        if (keyword == "8BITMIME") offer.eightBitMime = true;
        if (keyword == "SMTPUTF8") offer.smtpUtf8 = true;
        if (keyword == "PIPELINING") offer.pipelining = true;
        if (keyword.rfind("AUTH", 0) == 0 && keyword.size() > 4 && (keyword[4] == ' ' || keyword[4] == '=')) {
            for (std::string& word : Words(keyword.substr(5))) {
                if (!offer.Offers(word)) offer.mechanisms.push_back(std::move(word));
            }
        }
    }
    return offer;
}

LoginMechanism ChooseLoginMechanism(std::int32_t requested, const ServerOffer& offer, bool encrypted,
                                    bool haveAccessToken) {
    const bool login = offer.Offers("LOGIN") || offer.loginMentioned;
    switch (requested) {
        case AUTH_LOGIN:
            return login ? LoginMechanism::Login : LoginMechanism::None;
        case AUTH_PLAIN:
            return offer.Offers("PLAIN") ? LoginMechanism::Plain : LoginMechanism::None;
        case AUTH_CRAM_MD5:
            return offer.Offers("CRAM-MD5") ? LoginMechanism::CramMd5 : LoginMechanism::None;
        case AUTH_XOAUTH2:
            return offer.Offers("XOAUTH2") ? LoginMechanism::XOAuth2 : LoginMechanism::None;
        case AUTH_AUTOMATIC:
            break;
        default:
            return LoginMechanism::None;  // not a mechanism of the enumeration
    }
    if (!encrypted) return login ? LoginMechanism::Login : LoginMechanism::None;
    if (haveAccessToken && offer.Offers("XOAUTH2")) return LoginMechanism::XOAuth2;
    if (offer.Offers("PLAIN")) return LoginMechanism::Plain;
    if (login) return LoginMechanism::Login;
    if (offer.Offers("CRAM-MD5")) return LoginMechanism::CramMd5;
    return LoginMechanism::None;
}

std::string PlainInitialResponse(std::string_view user, std::string_view password) {
    std::string message(1, '\0');
    WipedOnExit wipeMessage(message);
    message.append(user).push_back('\0');
    message.append(password);
    return Base64OneLine(message);
}

std::string XOAuth2InitialResponse(std::string_view user, std::string_view accessToken) {
    std::string message = "user=";
    WipedOnExit wipeMessage(message);
    message.append(user)
        .append(
            "\x01"
            "auth=Bearer ")
        .append(accessToken)
        .append("\x01\x01");
    return Base64OneLine(message);
}

std::string CramMd5Answer(std::string_view challengeReply, std::string_view user, std::string_view password) {
    const std::string challenge =
        DecodeBase64String(TrimSpaces(challengeReply.substr(std::min<std::size_t>(4, challengeReply.size()))));
    std::string answer(user);
    answer.append(" ").append(HexDigest(HmacMd5(password, challenge)));
    return Base64OneLine(answer);
}

}  // namespace zankit::mail
