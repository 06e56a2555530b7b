// clsSendMail over TLS through COM under Wine, against the servers of tests/peers/tls_peers.py
// (started by tests/wine/run_host_tests.sh, which exports ZANKIT_TLS_DIR, ZANKIT_TLS_USER and
// ZANKIT_TLS_TOKEN and trusts the peers' test authority inside the prefix).
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "sending_mail.h"

using namespace hosttest;

namespace {

class TlsSend : public testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("ZANKIT_TLS_DIR");
        ASSERT_TRUE(dir && std::getenv("ZANKIT_TLS_USER") && std::getenv("ZANKIT_TLS_TOKEN")) << "no TLS peers";
        dir_ = dir;
        const std::string user = std::getenv("ZANKIT_TLS_USER");
        const std::string token = std::getenv("ZANKIT_TLS_TOKEN");
        user_.assign(user.begin(), user.begin() + user.find(':'));
        password_.assign(user.begin() + user.find(':') + 1, user.end());
        token_.assign(token.begin(), token.end());
        std::istringstream lines(ReadBytes(dir_ / "ports"));
        std::string name;
        for (long port; lines >> name >> port;) ports_[name] = port;
    }

    // Aimed at the named server, logging in when login is set.
    std::unique_ptr<SendingMail> MailTo(const std::string& server, MAIL_SECURITY security, bool login = true) {
        EXPECT_TRUE(ports_.count(server)) << server;
        auto mail = std::make_unique<SendingMail>(ports_[server]);
        const std::pair<const wchar_t*, Arg> settings[] = {{L"MessageTimeout", Arg::Long(30)},
                                                           {L"Subject", Arg::Text(L"\u00DCber TLS")},
                                                           {L"Message", Arg::Text(L"Line one\n.Line two")},
                                                           {L"Security", Arg::Long(security)},
                                                           {L"UseAuthentication", Arg::Bool(login)},
                                                           {L"Username", Arg::Text(user_)},
                                                           {L"Password", Arg::Text(password_)},
                                                           {L"AccessToken", Arg::Text(token_)}};
        for (const auto& [name, value] : settings) EXPECT_EQ(mail->Set(name, value), S_OK) << name;
        return mail;
    }

    std::filesystem::path dir_;
    std::wstring user_, password_, token_;
    std::map<std::string, long> ports_;
};

// A received message with what differs between two sends of it (date, id, boundary) blanked.
std::string Comparable(std::string message) {
    std::smatch boundary;
    if (std::regex_search(message, boundary, std::regex("boundary=\"([^\"]+)\""))) {
        message = std::regex_replace(message, std::regex(boundary[1].str()), "BOUNDARY");
    }
    return std::regex_replace(message, std::regex("(Date|Message-ID): [^\r]*"), "$1: -");
}

TEST_F(TlsSend, MessagesArriveAsWithoutTls) {
    const std::filesystem::path folder(TempFolder());
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 131) >> 3);
    WriteBytes(folder / "large.bin", large);
    WriteBytes(folder / "one byte.bin", "z");
    // Each server gets both messages over one session kept open by Connect; plain goes first.
    std::map<std::string, std::vector<std::string>> received;
    for (const auto& [server, security] : {std::pair{"plain", SECURITY_NONE},
                                           {"starttls", SECURITY_STARTTLS_REQUIRED},
                                           {"implicit", SECURITY_TLS}}) {
        SCOPED_TRACE(server);
        const auto kept = std::distance(std::filesystem::directory_iterator(dir_ / server), {});
        auto mail = MailTo(server, security, security != SECURITY_NONE);
        EXPECT_EQ(mail->Do(L"Connect").hr, S_OK);
        for (const wchar_t* file : {L"one byte.bin", L"large.bin"}) {
            EXPECT_EQ(mail->Set(L"Attachment", Arg::Text((folder / file).wstring())), S_OK);
            EXPECT_EQ(mail->Do(L"Send").hr, S_OK);
        }
        EXPECT_EQ(mail->Do(L"Disconnect").hr, S_OK);
        EXPECT_EQ(mail->Count(L"SendSuccesful"), 2);
        EXPECT_EQ(mail->Count(L"SendFailed"), 0);
        const auto& events = mail->sink->events;
        const auto progress = std::find_if(events.rbegin(), events.rend(), [](const auto& e) { return e.id == 4; });
        EXPECT_TRUE(progress != events.rend() && progress->number == 100);
        for (auto number = kept + 1; number <= kept + 2; ++number) {
            const std::string message = ReadBytes(dir_ / server / ("message-" + std::to_string(number) + ".eml"));
            received[server].push_back(Comparable(message));
            EXPECT_EQ(received[server].back(), received["plain"][received[server].size() - 1]);
        }
    }
    EXPECT_NE(received["implicit"][1].find("Content-Disposition: attachment;\r\n\tfilename=\"large.bin\""),
              std::string::npos);
    std::filesystem::remove_all(folder);
}

TEST_F(TlsSend, RefusalsAndLogins) {
    struct Row {
        const char* server;
        const wchar_t* outcome;  // "ok" or how the SendFailed text begins
        AUTH_MECHANISM mechanism = AUTH_AUTOMATIC;
        bool allowInvalid = false;
        const wchar_t* password = nullptr;  // the password and token; nullptr for the right ones
        MAIL_SECURITY security = SECURITY_STARTTLS_REQUIRED;
    } const rows[] = {
        {"no-starttls", L"TLS not offered by server"},
        // STARTTLS optional: on in the clear, with LOGIN
        {"no-starttls", L"535 5.7.8 Token refused", AUTH_AUTOMATIC, false, nullptr, SECURITY_STARTTLS},
        {"other-name", L"Certificate name mismatch"},
        {"expired", L"Certificate expired"},
        {"untrusted", L"Certificate not trusted"},
        {"untrusted", L"ok", AUTH_AUTOMATIC, true},
        {"cut-handshake", L"Connection closed during the TLS handshake"},
        {"close-after-220", L"Connection closed during the TLS handshake"},
        {"inject", L"ok"},
        {"xoauth2", L"ok", AUTH_XOAUTH2},
        {"xoauth2", L"535 5.7.8 Token refused", AUTH_XOAUTH2, false, L"stale"},
        {"starttls", L"ok", AUTH_AUTOMATIC},  // PLAIN, picked automatically
        {"starttls", L"ok", AUTH_LOGIN},
        {"starttls", L"ok", AUTH_CRAM_MD5},
        {"starttls", L"535 ", AUTH_PLAIN, false, L"wrong"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.server) + " " + std::to_string(&row - rows));
        const std::filesystem::path log = dir_ / (std::string(row.server) + ".log");
        const std::size_t logStart = std::filesystem::exists(log) ? ReadBytes(log).size() : 0;
        auto mail = MailTo(row.server, row.security);
        EXPECT_EQ(mail->Set(L"AllowInvalidCertificate", Arg::Bool(row.allowInvalid)), S_OK);
        EXPECT_EQ(mail->Set(L"AuthMechanism", Arg::Long(row.mechanism)), S_OK);
        if (row.password) {
            EXPECT_EQ(mail->Set(L"Password", Arg::Text(row.password)), S_OK);
            EXPECT_EQ(mail->Set(L"AccessToken", Arg::Text(row.password)), S_OK);
        }
        EXPECT_EQ(mail->Do(L"Send").hr, S_OK);
        const std::wstring outcome =
            wcscmp(row.outcome, L"ok") ? L"SendFailed: " + std::wstring(row.outcome) : L"SendSuccesful";
        EXPECT_EQ(mail->Count(L"Send"), 1) << testing::PrintToString(mail->Texts());
        EXPECT_EQ(mail->Count(outcome), 1) << testing::PrintToString(mail->Texts());
        // Where TLS is required, a scripted server saw nothing in the clear but EHLO, then STARTTLS or QUIT.
        if (row.security == SECURITY_STARTTLS_REQUIRED && std::filesystem::exists(log)) {
            const std::string clear = ReadBytes(log).substr(logStart);
            EXPECT_TRUE(std::regex_match(clear, std::regex("EHLO example\\.com\r\n(STARTTLS|QUIT)\r\n"))) << clear;
        }
    }
    SendingMail mail(25);
    EXPECT_NE(Put(mail.mail.Get(), L"Security", Arg::Long(SECURITY_TLS + 1)).hr, S_OK);
    EXPECT_NE(Put(mail.mail.Get(), L"AuthMechanism", Arg::Long(AUTH_AUTOMATIC - 1)).hr, S_OK);
}

// Protocol versions, server names given as addresses, revocation and a server that asks for
// a new handshake. Certificates without a revocation list are taken with a Status notice.
TEST_F(TlsSend, VersionsAddressesRevocationRenegotiation) {
    constexpr wchar_t kUnchecked[] = L"Status: Certificate revocation could not be checked";
    struct Row {
        const char* server;
        const wchar_t* outcome;  // "ok" or how the SendFailed text begins
        bool revocationUnchecked = false;
        const wchar_t* host = L"127.0.0.1";
        const char* serverName = nullptr;  // the SNI the server must see; nullptr: none
        MAIL_SECURITY security = SECURITY_STARTTLS_REQUIRED;
    } const rows[] = {
        {"tls1.0-only", L"TLS handshake failed"},
        {"tls1.1-only", L"TLS handshake failed"},
        {"tls1.3-only", L"TLS handshake failed"},  // Wine 8's Schannel has no TLS 1.3
        {"asks-certificate", L"ok", true},
        {"sni", L"ok", true, L"localhost", "localhost"},
        {"ip-only", L"ok", true},
        {"ip6-only", L"ok", true, L"::1"},
        {"ip-cn-only", L"Certificate name mismatch"},
        {"ip-wildcard", L"Certificate name mismatch"},
        {"revoked", L"Certificate revoked"},
        {"crl-listed", L"ok"},
        {"crl-unreachable", L"ok", true},
        // It answers EHLO only once the client has finished a second handshake, which
        // Wine 8's Schannel cannot begin: refused at once, where it used to wait for the time-out.
        {"renegotiate", L"TLS handshake failed (the server asked for a new handshake", true, L"127.0.0.1", nullptr,
         SECURITY_TLS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.server);
        auto mail = MailTo(row.server, row.security);
        EXPECT_EQ(mail->Set(L"SMTPHostValidation", Arg::Long(VALIDATE_HOST_NONE)), S_OK);
        EXPECT_EQ(mail->Set(L"SMTPHost", Arg::Text(row.host)), S_OK);
        EXPECT_EQ(mail->Do(L"Send").hr, S_OK);
        const bool ok = !wcscmp(row.outcome, L"ok");
        const std::wstring outcome = ok ? L"SendSuccesful" : L"SendFailed: " + std::wstring(row.outcome);
        EXPECT_EQ(mail->Count(outcome), 1) << testing::PrintToString(mail->Texts());
        EXPECT_EQ(mail->Count(kUnchecked), row.revocationUnchecked ? 1 : 0) << testing::PrintToString(mail->Texts());
        const std::filesystem::path sni = dir_ / (std::string(row.server) + ".sni");
        EXPECT_EQ(std::filesystem::exists(sni) ? ReadBytes(sni) : "", row.serverName ? row.serverName : "");
    }
}

}  // namespace
