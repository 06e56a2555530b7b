// clsSendMail over TLS through COM under Wine, against the servers of tests/peers/tls_peers.py
// (started by tests/wine/run_host_tests.sh, which exports ZANKIT_TLS_DIR, ZANKIT_TLS_USER and
// ZANKIT_TLS_TOKEN and trusts the peers' test authority inside the prefix).
#include <windows.h>
#include <ocidl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string_view>

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
        ReadPorts(dir_ / "ports", "");
        const char* postfix = std::getenv("ZANKIT_POSTFIX_DIR");
        ASSERT_TRUE(postfix) << "no Postfix";
        postfix_ = postfix;
        ReadPorts(postfix_ / "ports", "postfix-");
    }

    void ReadPorts(const std::filesystem::path& file, const std::string& prefix) {
        std::istringstream lines(ReadBytes(file));
        std::string name;
        for (long port; lines >> name >> port;) ports_[prefix + name] = port;
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

    std::filesystem::path dir_, postfix_;
    std::wstring user_, password_, token_;
    std::map<std::string, long> ports_;
};

// How many messages are in a spool or Maildir folder, and the one written last.
long Kept(const std::filesystem::path& spool) {
    if (!std::filesystem::exists(spool)) return 0;
    return static_cast<long>(std::distance(std::filesystem::directory_iterator(spool), {}));
}
std::filesystem::path Newest(const std::filesystem::path& folder) {
    std::filesystem::path newest;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (newest.empty() || entry.last_write_time() > std::filesystem::last_write_time(newest)) newest = entry;
    }
    return newest;
}

// What a scripted server logs in the clear when a login under Security 1 finds no STARTTLS.
constexpr const char* kOnlyHello = "EHLO example\\.com\r\nQUIT\r\n";
// ... and when a session kept in the clear is opened again with TLS.
constexpr const char* kReopened = "HELO example\\.com\r\nQUIT\r\nEHLO example\\.com\r\nSTARTTLS\r\n";

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
        const char* clear = nullptr;  // what a scripted server got in the clear, when not the usual
        bool unchecked = false;       // the Status "Certificate not checked" comes
        const char* pop3 = nullptr;   // POP3 login first, at the address this variable names
        const char* kept = nullptr;   // Connect first to this server with Security 0, no login
    } const rows[] = {
        // clang-format off
        {"no-starttls", L"TLS not offered by server"},
        // STARTTLS optional: the message may go in the clear, a login never
        {"no-starttls", L"TLS not offered by server", AUTH_AUTOMATIC, false, nullptr, SECURITY_STARTTLS, kOnlyHello},
        {"other-name", L"Certificate name mismatch"},
        {"expired", L"Certificate expired"},
        {"untrusted", L"Certificate not trusted"},
        {"untrusted", L"ok", AUTH_AUTOMATIC, true, nullptr, SECURITY_STARTTLS_REQUIRED, nullptr, true},
        {"cut-handshake", L"Connection closed during the TLS handshake"},
        {"close-after-220", L"Connection closed during the TLS handshake"},
        {"inject", L"ok"},
        {"xoauth2", L"ok", AUTH_XOAUTH2},
        {"xoauth2", L"535 5.7.8 Token refused", AUTH_XOAUTH2, false, L"stale"},
        {"starttls", L"ok", AUTH_AUTOMATIC},  // PLAIN, picked automatically
        {"starttls", L"ok", AUTH_LOGIN},
        {"starttls", L"ok", AUTH_CRAM_MD5},
        {"starttls", L"535 ", AUTH_PLAIN, false, L"wrong"},
        // STARTTLS removed by a man in the middle: no mechanism logs in under Security 1.
        {"no-starttls", L"TLS not offered by server", AUTH_LOGIN, false, nullptr, SECURITY_STARTTLS, kOnlyHello},
        {"no-starttls", L"TLS not offered by server", AUTH_PLAIN, false, nullptr, SECURITY_STARTTLS, kOnlyHello},
        {"no-starttls", L"TLS not offered by server", AUTH_CRAM_MD5, false, nullptr, SECURITY_STARTTLS, kOnlyHello},
        {"no-starttls", L"TLS not offered by server", AUTH_XOAUTH2, false, nullptr, SECURITY_STARTTLS, kOnlyHello},
        // AUTH LOGIN answers by position: aiosmtpd's own prompts ("starttls" above), German ones.
        {"localized", L"ok", AUTH_LOGIN},
        // A prompt the mechanism has no step for gets one cancel line.
        {"extra-prompt", L"501 5.7.0 Cancelled", AUTH_PLAIN, false, nullptr, SECURITY_NONE,
         "EHLO example\\.com\r\nAUTH PLAIN \\S+\r\n\\*\r\nQUIT\r\n"},
        // A certificate that passes its checks needs no notice.
        {"starttls", L"ok", AUTH_AUTOMATIC, true},
        // A session kept by Connect is opened again once Security, the port or the login changed.
        {.server = "xoauth2", .outcome = L"ok", .mechanism = AUTH_XOAUTH2, .clear = kReopened, .kept = "xoauth2"},
        {.server = "xoauth2", .outcome = L"ok", .mechanism = AUTH_XOAUTH2, .security = SECURITY_STARTTLS,
         .clear = kReopened, .kept = "xoauth2"},
        {.server = "implicit", .outcome = L"ok", .security = SECURITY_TLS, .kept = "plain"},
        // POP3 before SMTP: USER and PASS only inside TLS (STLS; port 995 under Security 3).
        {.server = "starttls", .outcome = L"TLS not offered by server", .security = SECURITY_STARTTLS,
         .pop3 = "ZANKIT_POP3_CLEAR_HOST"},
        {.server = "starttls", .outcome = L"TLS not offered by server", .pop3 = "ZANKIT_POP3_CLEAR_HOST"},
        {.server = "starttls", .outcome = L"ok", .security = SECURITY_STARTTLS, .pop3 = "ZANKIT_POP3_TLS_HOST"},
        {.server = "starttls", .outcome = L"ok", .pop3 = "ZANKIT_POP3_TLS_HOST"},
        {.server = "implicit", .outcome = L"ok", .security = SECURITY_TLS, .pop3 = "ZANKIT_POP3_TLS_HOST"},
        // A real mail system: Postfix's submission port and its port with TLS from the first byte.
        {"postfix-submission", L"ok"},
        {"postfix-submission", L"ok", AUTH_LOGIN},
        {"postfix-submission", L"ok", AUTH_CRAM_MD5},
        {"postfix-submission", L"ok", AUTH_PLAIN, false, nullptr, SECURITY_STARTTLS},
        {"postfix-smtps", L"ok", AUTH_AUTOMATIC, false, nullptr, SECURITY_TLS},
        {"postfix-submission", L"530 5.7.0 Must issue a STARTTLS command first", AUTH_AUTOMATIC, false, nullptr,
         SECURITY_NONE},
        // clang-format on
    };
    const std::filesystem::path inbox = postfix_ / "mailboxes/example.com/you/new";
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.server) + " " + std::to_string(&row - rows));
        const std::filesystem::path log = dir_ / (std::string(row.server) + ".log");
        const std::size_t logStart = std::filesystem::exists(log) ? ReadBytes(log).size() : 0;
        const std::filesystem::path spool =
            std::string_view(row.server).starts_with("postfix") ? inbox : dir_ / row.server;
        const long delivered = Kept(spool);
        auto mail = MailTo(row.kept ? row.kept : row.server, row.kept ? SECURITY_NONE : row.security, !row.kept);
        if (row.kept) {
            EXPECT_EQ(mail->Do(L"Connect").hr, S_OK);
            const std::pair<const wchar_t*, Arg> changes[] = {{L"Security", Arg::Long(row.security)},
                                                              {L"SMTPPort", Arg::Long(ports_[row.server])},
                                                              {L"UseAuthentication", Arg::Bool(true)}};
            for (const auto& [name, value] : changes) EXPECT_EQ(mail->Set(name, value), S_OK) << name;
        }
        if (row.pop3) {
            const std::string host = std::getenv(row.pop3) ? std::getenv(row.pop3) : "";
            EXPECT_EQ(mail->Set(L"POP3Host", Arg::Text(std::wstring(host.begin(), host.end()))), S_OK);
            EXPECT_EQ(mail->Set(L"UsePopAuthentication", Arg::Bool(true)), S_OK);
        }
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
        EXPECT_EQ(mail->Count(L"Status: Certificate not checked"), row.unchecked ? 1 : 0);
        // A message sent arrived where it was sent to (Postfix delivers after its reply: waited for).
        for (int i = 0; i < 300 && spool == inbox && outcome == L"SendSuccesful" && Kept(spool) == delivered; ++i) {
            Sleep(100);
        }
        if (std::filesystem::exists(spool)) {
            EXPECT_EQ(Kept(spool), delivered + (outcome == L"SendSuccesful"));
        }
        if (spool == inbox && outcome == L"SendSuccesful") {
            const std::string message = ReadBytes(Newest(inbox));
            EXPECT_NE(message.find("Delivered-To: you@example.com\n"), std::string::npos) << message;
            EXPECT_NE(message.find("\nLine one\n.Line two"), std::string::npos) << message;
        }
        // Where TLS is required, a scripted server saw nothing in the clear but EHLO, then STARTTLS or QUIT.
        if ((row.clear || row.security == SECURITY_STARTTLS_REQUIRED) && std::filesystem::exists(log)) {
            const std::string clear = ReadBytes(log).substr(logStart);
            const char* expected = row.clear ? row.clear : "EHLO example\\.com\r\n(STARTTLS|QUIT)\r\n";
            EXPECT_TRUE(std::regex_match(clear, std::regex(expected))) << clear;
        }
    }
    SendingMail mail(25);
    EXPECT_NE(Put(mail.mail.Get(), L"Security", Arg::Long(SECURITY_TLS + 1)).hr, S_OK);
    EXPECT_NE(Put(mail.mail.Get(), L"AuthMechanism", Arg::Long(AUTH_AUTOMATIC - 1)).hr, S_OK);
}

// A remembered Security outside the enumeration refuses Connect and Send before any byte leaves.
TEST_F(TlsSend, AStoredSecurityOutsideTheEnumerationSendsNothing) {
    const wchar_t key[] = L"Software\\VB and VBA Program Settings\\Postwerk\\Settings";
    for (const auto& [name, value] : {std::pair{L"PersistentSettings", L"-1"}, {L"Security", L"7"}}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value, DWORD(2 * (wcslen(value) + 1)));
    }
    const std::string before = ReadBytes(dir_ / "no-starttls.log");
    {
        SendingMail mail(ports_["no-starttls"]);
        EXPECT_EQ(mail.Do(L"Connect").hr, S_OK);
        EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
        EXPECT_EQ(mail.Count(L"SendFailed: Invalid stored setting: Security"), 2)
            << testing::PrintToString(mail.Texts());
    }
    EXPECT_EQ(ReadBytes(dir_ / "no-starttls.log"), before);
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Postwerk");
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
