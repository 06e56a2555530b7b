// clsSendMail over TLS through COM under Wine, against the servers of tests/peers/tls_peers.py
// (started by tests/peers/run_tls_tests.sh, which exports ZANKIT_TLS_DIR, ZANKIT_TLS_USER and
// ZANKIT_TLS_TOKEN and trusts the peers' test authority inside the prefix).
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

constexpr DISPID kSendSuccesful = 1, kSendFailed = 2, kProgress = 4;

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class TlsSend : public testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("ZANKIT_TLS_DIR");
        const char* user = std::getenv("ZANKIT_TLS_USER");
        const char* token = std::getenv("ZANKIT_TLS_TOKEN");
        ASSERT_TRUE(dir && user && token) << "the TLS peers are not running";
        dir_ = dir;
        std::string login = user;
        user_ = Wide(login.substr(0, login.find(':')));
        password_ = Wide(login.substr(login.find(':') + 1));
        token_ = Wide(token);
        std::istringstream lines(Slurp(dir_ / "ports"));
        std::string name;
        long port = 0;
        while (lines >> name >> port) ports_[name] = port;
    }

    // A mail object with an advised sink, aimed at the named server.
    struct Mail {
        ComPtr<IDispatch> object = Create(L"ZanKit.clsSendMail");
        ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
        ComPtr<IConnectionPoint> point;
        DWORD cookie = 0;
        ~Mail() { point->Unadvise(cookie); }
        void Set(const wchar_t* name, const Arg& value) { EXPECT_EQ(Put(object.Get(), name, value).hr, S_OK) << name; }
        HRESULT Do(const wchar_t* method) { return Call(object.Get(), method, DISPATCH_METHOD, {}).hr; }
        // "ok" for each successful send and the text of each failure, in order.
        std::vector<std::wstring> Outcomes() const {
            std::vector<std::wstring> seen;
            for (const auto& event : sink->events) {
                if (event.id == kSendSuccesful || event.id == kSendFailed) seen.push_back(event.id == kSendSuccesful ? L"ok" : event.text);
            }
            return seen;
        }
    };

    std::unique_ptr<Mail> MailTo(const std::string& server, long security, bool login = true) {
        auto mail = std::make_unique<Mail>();
        ComPtr<IConnectionPointContainer> container;
        mail->object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        container->FindConnectionPoint(DIID___clsSendMail, mail->point.Put());
        mail->point->Advise(mail->sink.Get(), &mail->cookie);
        EXPECT_TRUE(ports_.count(server)) << server;
        const std::pair<const wchar_t*, Arg> settings[] = {
            {L"SMTPHostValidation", Arg::Long(1)}, {L"SMTPHost", Arg::Text(L"127.0.0.1")},
            {L"SMTPPort", Arg::Long(ports_[server])}, {L"ConnectRetry", Arg::Long(1)},
            {L"MessageTimeout", Arg::Long(30)}, {L"from", Arg::Text(L"sender@example.com")},
            {L"Recipient", Arg::Text(L"you@example.com")}, {L"Subject", Arg::Text(L"\u00DCber TLS")},
            {L"Message", Arg::Text(L"Line one\n.Line two")}, {L"Security", Arg::Long(security)},
            {L"UseAuthentication", Arg::Bool(login)}, {L"Username", Arg::Text(user_)},
            {L"Password", Arg::Text(password_)}};
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
    const std::filesystem::path folder = std::filesystem::path(TempFolder());
    const std::filesystem::path tiny = folder / "one byte.bin";
    const std::filesystem::path large = folder / "large.bin";
    std::ofstream(tiny, std::ios::binary) << 'z';
    std::ofstream out(large, std::ios::binary);
    for (std::size_t i = 0; i < 3 * 1024 * 1024 + 17; ++i) out.put(static_cast<char>((i * 131) >> 3));
    out.close();
    // Each server gets both messages over one session kept open by Connect.
    for (const auto& [server, security] : std::vector<std::pair<std::string, long>>{
             {"plain", 0}, {"starttls", 2}, {"implicit", 3}}) {
        SCOPED_TRACE(server);
        auto mail = MailTo(server, security, security != 0);
        EXPECT_EQ(mail->Do(L"Connect"), S_OK);
        for (const auto& file : {tiny, large}) {
            mail->Set(L"Attachment", Arg::Text(file.wstring()));
            EXPECT_EQ(mail->Do(L"Send"), S_OK);
        }
        EXPECT_EQ(mail->Do(L"Disconnect"), S_OK);
        EXPECT_EQ(mail->Outcomes(), (std::vector<std::wstring>{L"ok", L"ok"}));
        long lastPercent = -1;
        for (const auto& event : mail->sink->events) lastPercent = event.id == kProgress ? event.number : lastPercent;
        EXPECT_EQ(lastPercent, 100);
        for (const char* number : {"1", "2"}) {
            const std::string name = std::string("message-") + number + ".eml";
            EXPECT_EQ(Comparable(Slurp(dir_ / server / name)), Comparable(Slurp(dir_ / "plain" / name))) << name;
        }
    }
    std::filesystem::remove_all(folder);
}

TEST_F(TlsSend, RefusalsSendNothingInTheClear) {
    struct Row {
        const char* server;
        bool allowInvalid;
        const wchar_t* outcome;  // "ok" or the SendFailed text
        long mechanism = 0;
        bool rightToken = true;
    } const rows[] = {
        {"no-starttls", false, L"TLS not offered by server"},
        {"other-name", false, L"Certificate name mismatch"},
        {"expired", false, L"Certificate expired"},
        {"untrusted", false, L"Certificate not trusted"},
        {"untrusted", true, L"ok"},
        {"cut-handshake", false, L"Connection closed during the TLS handshake"},
        {"close-after-220", false, L"Connection closed during the TLS handshake"},
        {"inject", false, L"ok"},
        {"xoauth2", false, L"ok", 4},
        {"xoauth2", false, L"535 5.7.8 Token refused", 4, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.server) + (row.allowInvalid ? " allowing invalid certificates" : ""));
        const std::filesystem::path logPath = dir_ / (std::string(row.server) + ".log");
        const std::size_t logStart = Slurp(logPath).size();
        auto mail = MailTo(row.server, 2);
        mail->Set(L"AllowInvalidCertificate", Arg::Bool(row.allowInvalid));
        mail->Set(L"AuthMechanism", Arg::Long(row.mechanism));
        mail->Set(L"AccessToken", Arg::Text(row.rightToken ? token_ : L"stale"));
        EXPECT_EQ(mail->Do(L"Send"), S_OK);
        const auto outcomes = mail->Outcomes();
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].rfind(row.outcome, 0), 0u) << outcomes[0];
        // In the clear the server saw EHLO, STARTTLS and at most QUIT.
        EXPECT_TRUE(std::regex_match(Slurp(logPath).substr(logStart),
                                     std::regex("EHLO example\\.com\r\n(STARTTLS\r\n|QUIT\r\n)?")))
            << Slurp(logPath).substr(logStart);
    }
}

TEST_F(TlsSend, LoginMechanismsAfterStartTls) {
    for (long mechanism : {0, 1, 2, 3}) {
        for (bool right : {true, false}) {
            SCOPED_TRACE(std::to_string(mechanism) + (right ? " right" : " wrong") + " password");
            auto mail = MailTo("starttls", 2);
            mail->Set(L"AuthMechanism", Arg::Long(mechanism));
            if (!right) mail->Set(L"Password", Arg::Text(L"wrong"));
            EXPECT_EQ(mail->Do(L"Send"), S_OK);
            const auto outcomes = mail->Outcomes();
            ASSERT_EQ(outcomes.size(), 1u);
            EXPECT_EQ(outcomes[0].rfind(right ? L"ok" : L"535 ", 0), 0u) << outcomes[0];
        }
    }
}

TEST_F(TlsSend, OutOfRangeSettingsAreRefused) {
    auto mail = MailTo("plain", 0);
    EXPECT_NE(Put(mail->object.Get(), L"Security", Arg::Long(4)).hr, S_OK);
    EXPECT_NE(Put(mail->object.Get(), L"AuthMechanism", Arg::Long(-1)).hr, S_OK);
    EXPECT_EQ(Get(mail->object.Get(), L"Security").Number(), 0);
}

}  // namespace
