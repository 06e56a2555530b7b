// clsSendMail over TLS through COM under Wine, against the servers of tests/peers/tls_peers.py
// (started by tests/peers/run_tls_tests.sh, which exports ZANKIT_TLS_DIR, ZANKIT_TLS_USER and
// ZANKIT_TLS_TOKEN and trusts the peers' test authority inside the prefix).
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A mail object with an advised sink.
struct Mail {
    ComPtr<IDispatch> object = Create(L"ZanKit.clsSendMail");
    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    Mail() {
        ComPtr<IConnectionPointContainer> container;
        object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        container->FindConnectionPoint(DIID___clsSendMail, point.Put());
        point->Advise(sink.Get(), &cookie);
    }
    ~Mail() { point->Unadvise(cookie); }
    void Set(const wchar_t* name, const Arg& value) { EXPECT_EQ(Put(object.Get(), name, value).hr, S_OK) << name; }
    HRESULT Do(const wchar_t* method) { return Call(object.Get(), method, DISPATCH_METHOD, {}).hr; }
    // "ok" for each successful send (SendSuccesful), the text of each SendFailed, in order.
    std::vector<std::wstring> Outcomes() const {
        std::vector<std::wstring> seen;
        for (const auto& event : sink->events) {
            if (event.id == 1 || event.id == 2) seen.push_back(event.id == 1 ? L"ok" : event.text);
        }
        return seen;
    }
};

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
        std::istringstream lines(Slurp(dir_ / "ports"));
        std::string name;
        for (long port; lines >> name >> port;) ports_[name] = port;
    }

    // Aimed at the named server, logging in when login is set.
    std::unique_ptr<Mail> MailTo(const std::string& server, long security, bool login = true) {
        auto mail = std::make_unique<Mail>();
        EXPECT_TRUE(ports_.count(server)) << server;
        const std::pair<const wchar_t*, Arg> settings[] = {{L"SMTPHostValidation", Arg::Long(1)},
                                                           {L"SMTPHost", Arg::Text(L"127.0.0.1")},
                                                           {L"SMTPPort", Arg::Long(ports_[server])},
                                                           {L"ConnectRetry", Arg::Long(1)},
                                                           {L"MessageTimeout", Arg::Long(30)},
                                                           {L"from", Arg::Text(L"sender@example.com")},
                                                           {L"Recipient", Arg::Text(L"you@example.com")},
                                                           {L"Subject", Arg::Text(L"\u00DCber TLS")},
                                                           {L"Message", Arg::Text(L"Line one\n.Line two")},
                                                           {L"Security", Arg::Long(security)},
                                                           {L"UseAuthentication", Arg::Bool(login)},
                                                           {L"Username", Arg::Text(user_)},
                                                           {L"Password", Arg::Text(password_)},
                                                           {L"AccessToken", Arg::Text(token_)}};
        for (const auto& [name, value] : settings) mail->Set(name, value);
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
    std::ofstream(folder / "one byte.bin", std::ios::binary) << 'z';
    std::ofstream large(folder / "large.bin", std::ios::binary);
    for (std::size_t i = 0; i < 3 * 1024 * 1024 + 17; ++i) large.put(static_cast<char>((i * 131) >> 3));
    large.close();
    // Each server gets both messages over one session kept open by Connect; plain goes first.
    std::map<std::string, std::vector<std::string>> received;
    for (const auto& [server, security] : {std::pair{"plain", 0L}, {"starttls", 2L}, {"implicit", 3L}}) {
        SCOPED_TRACE(server);
        const auto kept = std::distance(std::filesystem::directory_iterator(dir_ / server), {});
        auto mail = MailTo(server, security, security != 0);
        EXPECT_EQ(mail->Do(L"Connect"), S_OK);
        for (const wchar_t* file : {L"one byte.bin", L"large.bin"}) {
            mail->Set(L"Attachment", Arg::Text((folder / file).wstring()));
            EXPECT_EQ(mail->Do(L"Send"), S_OK);
        }
        EXPECT_EQ(mail->Do(L"Disconnect"), S_OK);
        EXPECT_EQ(mail->Outcomes(), (std::vector<std::wstring>{L"ok", L"ok"}));
        const auto& events = mail->sink->events;
        const auto progress = std::find_if(events.rbegin(), events.rend(), [](const auto& e) { return e.id == 4; });
        EXPECT_TRUE(progress != events.rend() && progress->number == 100);
        for (auto number = kept + 1; number <= kept + 2; ++number) {
            const std::string message = Slurp(dir_ / server / ("message-" + std::to_string(number) + ".eml"));
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
        long mechanism = 0;
        bool allowInvalid = false;
        const wchar_t* password = nullptr;  // the password and token; nullptr for the right ones
    } const rows[] = {
        {"no-starttls", L"TLS not offered by server"},
        {"other-name", L"Certificate name mismatch"},
        {"expired", L"Certificate expired"},
        {"untrusted", L"Certificate not trusted"},
        {"untrusted", L"ok", 0, true},
        {"cut-handshake", L"Connection closed during the TLS handshake"},
        {"close-after-220", L"Connection closed during the TLS handshake"},
        {"inject", L"ok"},
        {"xoauth2", L"ok", 4},
        {"xoauth2", L"535 5.7.8 Token refused", 4, false, L"stale"},
        {"starttls", L"ok", 0},  // PLAIN, picked automatically
        {"starttls", L"ok", 1},
        {"starttls", L"ok", 3},
        {"starttls", L"535 ", 2, false, L"wrong"},
        {"starttls", L"535 ", 1, false, L"wrong"},
        {"starttls", L"535 ", 3, false, L"wrong"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.server) + " " + std::to_string(&row - rows));
        const std::filesystem::path log = dir_ / (std::string(row.server) + ".log");
        const std::size_t logStart = Slurp(log).size();
        auto mail = MailTo(row.server, 2);
        mail->Set(L"AllowInvalidCertificate", Arg::Bool(row.allowInvalid));
        mail->Set(L"AuthMechanism", Arg::Long(row.mechanism));
        if (row.password) mail->Set(L"Password", Arg::Text(row.password));
        if (row.password) mail->Set(L"AccessToken", Arg::Text(row.password));
        EXPECT_EQ(mail->Do(L"Send"), S_OK);
        const auto outcomes = mail->Outcomes();
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].rfind(row.outcome, 0), 0u) << outcomes[0];
        // A scripted server saw nothing in the clear but EHLO, then STARTTLS or QUIT.
        if (std::filesystem::exists(log)) {
            const std::string clear = Slurp(log).substr(logStart);
            EXPECT_TRUE(std::regex_match(clear, std::regex("EHLO example\\.com\r\n(STARTTLS|QUIT)\r\n"))) << clear;
        }
    }
    Mail mail;
    EXPECT_NE(Put(mail.object.Get(), L"Security", Arg::Long(4)).hr, S_OK);
    EXPECT_NE(Put(mail.object.Get(), L"AuthMechanism", Arg::Long(-1)).hr, S_OK);
}

}  // namespace
