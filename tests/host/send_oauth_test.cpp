// clsSendMail's OAuth sign-in and XOAUTH2 sending under Wine against tests/peers/oauth_server.py (the client id
// chooses what it does) and the sink that takes only its tokens; test_browser.exe plays the browser for http(s) URLs.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <sstream>

#include "sending_mail.h"

using namespace hosttest;

namespace {

constexpr DISPID kOAuthUserCode = 5;
constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Postwerk\\Settings";

std::wstring Env(const wchar_t* name) { return _wgetenv(name) ? _wgetenv(name) : L""; }
std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }
std::string Tail(const std::wstring& file, size_t from) {  // what a peer's log got after `from` bytes
    const std::string bytes = ReadBytes(file);
    return bytes.size() > from && bytes != "<missing>" ? bytes.substr(from) : "";
}
std::wstring Stored(const wchar_t* name) {
    wchar_t value[4096] = {};
    DWORD size = sizeof value;
    const LONG status = RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, value, &size);
    return status == ERROR_SUCCESS ? value : L"<none>";
}

class OAuth : public testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const wchar_t* scheme : {L"https", L"http"})
            browser_.push_back(std::make_unique<SchemeHandler>(scheme, BesideTests(L"test_browser.exe") + L" \"%1\""));
    }
    static void TearDownTestSuite() { browser_.clear(); }
    void SetUp() override {
        ASSERT_FALSE(Env(L"ZANKIT_OAUTH_PORT").empty() || Env(L"ZANKIT_XOAUTH2_PORT").empty()) << "no OAuth peers";
        ASSERT_TRUE(browser_[0]->Registered() && browser_[1]->Registered()) << "the test browser is not registered";
        SetEnvironmentVariableW(L"ZANKIT_BROWSER_LOG", browserLog_.c_str());
    }

    // A mail object aimed at the XOAUTH2 sink, signing in as a client of `scenario` that no other
    // row, bitness or run uses.
    std::unique_ptr<SendingMail> MailFor(const std::wstring& scenario, const std::wstring& secret, bool keep = false) {
        static long clients = 0;
        auto mail = std::make_unique<SendingMail>(std::stol(Env(L"ZANKIT_XOAUTH2_PORT")));
        EXPECT_EQ(keep ? mail->Set(L"PersistentSettings", Arg::Bool(true)) : S_OK, S_OK);
        const std::wstring client = scenario + L"." + std::to_wstring(sizeof(void*) * 8) + L"-" +
                                    std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++clients);
        const std::pair<const wchar_t*, Arg> settings[] = {{L"OAuthTokenUrl", Arg::Text(server_ + L"/token")},
                                                           {L"OAuthDeviceCodeUrl", Arg::Text(server_ + L"/devicecode")},
                                                           {L"OAuthAuthorizeUrl", Arg::Text(server_ + L"/authorize")},
                                                           {L"OAuthClientId", Arg::Text(client)},
                                                           {L"OAuthClientSecret", Arg::Text(secret)},
                                                           {L"OAuthScope", Arg::Text(L"mail offline_access")},
                                                           {L"Security", Arg::Long(SECURITY_STARTTLS_REQUIRED)},
                                                           {L"UseAuthentication", Arg::Bool(true)},
                                                           {L"AuthMechanism", Arg::Long(AUTH_XOAUTH2)},
                                                           {L"Username", Arg::Text(mailbox_)}};
        for (const auto& [name, value] : settings) EXPECT_EQ(mail->Set(name, value), S_OK) << Narrow(name);
        return mail;
    }
    static CallResult SignIn(SendingMail& mail, OAUTH_FLOW flow) {
        return Call(mail.mail.Get(), L"OAuthSignIn", DISPATCH_METHOD, {Arg::Long(flow)});
    }
    static std::wstring Text(SendingMail& mail, const wchar_t* name) { return Get(mail.mail.Get(), name).Text(); }

    // The server's requests since `from`, a letter each: D device code, A authorize page; at the
    // token endpoint d device code, r refresh token, c client credentials, a authorization code.
    std::string Requests(size_t from) const {
        static const std::map<std::string, char> letters = {
            {"/devicecode", 'D'},   {"/authorize", 'A'},         {"urn:ietf:params:oauth:grant-type:device_code", 'd'},
            {"refresh_token", 'r'}, {"client_credentials", 'c'}, {"authorization_code", 'a'}};
        std::istringstream lines(Tail(requests_, from));
        std::string seen, method, path, grant, client, secret;
        while (lines >> method >> path >> grant >> client >> secret) {
            const auto letter = letters.find(path == "/token" ? grant : path);
            seen += letter == letters.end() ? '?' : letter->second;
        }
        return seen;
    }
    // What the sink saw since `from`: "accepted" or "refused" with whose token, the one signed in
    // with or a renewed one (the sink takes a token only for the mailbox it was issued for).
    std::string Logins(size_t from, const std::wstring& signedIn) const {
        std::istringstream lines(Tail(logins_, from));
        std::string seen, verdict, name, token;
        while (lines >> verdict >> name >> token)
            seen += (seen.empty() ? "" : " ") + verdict + (token == Narrow(signedIn) ? " signed-in" : " renewed");
        return seen;
    }

    const std::wstring server_ = L"https://127.0.0.1:" + Env(L"ZANKIT_OAUTH_PORT");
    const std::wstring mailbox_ = Env(L"ZANKIT_OAUTH_USER"), secret_ = Env(L"ZANKIT_OAUTH_SECRET");
    const std::wstring requests_ = Env(L"ZANKIT_OAUTH_DIR") + L"\\requests.log";
    const std::wstring logins_ = Env(L"ZANKIT_XOAUTH2_SPOOL") + L"\\xoauth2.log";
    const std::wstring browserLog_ = TempFolder() + L"\\browser.log";
    static inline std::vector<std::unique_ptr<SchemeHandler>> browser_;
};

TEST_F(OAuth, SignInAnswersTrueFalseOrRaisesTheEndpointsError) {
    const std::wstring http = L"http://127.0.0.1:" + Env(L"ZANKIT_HTTP_PORT");
    struct Row {
        OAUTH_FLOW flow;
        const wchar_t* scenario;
        const char* requests;        // the pattern of what reached the server (see Requests)
        int answer;                  // 1 True, 0 False, -1 raised
        const wchar_t* words = L"";  // in the raised description
        std::wstring secret = L"";
        const wchar_t* setting = nullptr;  // set to `value` after the rest
        std::wstring value = L"";
    } const rows[] = {
        {OAUTH_DEVICE_CODE, L"ok", "Dd", 1},
        {OAUTH_DEVICE_CODE, L"pending", "Ddddd", 1},
        {OAUTH_DEVICE_CODE, L"slow-down", "Ddd", 1},  // a poll within 6 s would be told again
        {OAUTH_DEVICE_CODE, L"google-names", "Dd", 1},
        {OAUTH_DEVICE_CODE, L"expired-token", "Dd", 0},
        {OAUTH_DEVICE_CODE, L"access-denied", "Dd", 0},
        {OAUTH_DEVICE_CODE, L"never-approved", "Dd+", 0},  // the code's own 3 s run out
        {OAUTH_DEVICE_CODE, L"invalid-grant", "rDd", 1, L"", L"", L"OAuthRefreshToken",
         L"rt-refused"},  // then the user signs in
        {OAUTH_DEVICE_CODE, L"invalid-client", "Dd", -1, L"invalid_client: Client authentication failed"},
        {OAUTH_BROWSER, L"ok", "Aa", 1},
        {OAUTH_BROWSER, L"access-denied", "A", 0},
        {OAUTH_BROWSER, L"state-mismatch", "A", -1, L"state does not match"},  // its code is not used
        {OAUTH_BROWSER, L"verifier-mismatch", "Aa", -1, L"invalid_grant"},
        {OAUTH_BROWSER, L"ok", "", -1, L"must use https", L"", L"OAuthAuthorizeUrl", http + L"/authorize"},
        {OAUTH_CLIENT_CREDENTIALS, L"ok", "c", 1, L"", secret_},
        {OAUTH_CLIENT_CREDENTIALS, L"no-expiry", "c", 1, L"", secret_},
        {OAUTH_CLIENT_CREDENTIALS, L"ok", "", -1},  // no client secret
        {OAUTH_CLIENT_CREDENTIALS, L"malformed-json", "c", -1, L"not valid JSON", secret_},
        {OAUTH_CLIENT_CREDENTIALS, L"huge", "c", -1, L"larger than 1 MiB", secret_},
        {OAUTH_CLIENT_CREDENTIALS, L"html", "c", -1, L"not JSON (text/html)", secret_},
        {OAUTH_CLIENT_CREDENTIALS, L"http-500", "c", -1, L"HTTP 500", secret_},
        {OAUTH_CLIENT_CREDENTIALS, L"ok", "", -1, L"must use https", secret_, L"OAuthTokenUrl", http + L"/token"},
        {OAUTH_CLIENT_CREDENTIALS, L"ok", "", -1, L"certificate", secret_, L"OAuthTokenUrl",
         L"https://127.0.0.1:" + Env(L"ZANKIT_HTTPS_UNTRUSTED_PORT") + L"/token"},
    };
    SYSTEMTIME now;
    GetLocalTime(&now);
    double today = 0;  // the rows take minutes, an hour is 0.0417 days
    SystemTimeToVariantTime(&now, &today);
    const std::wregex userCode(L"https://127\\.0\\.0\\.1:\\d+/device\\|(ZK-\\d{4})\\|Enter \\1 at https://.*\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "flow " << row.flow << ", " << Narrow(row.scenario) << " " << row.requests);
        auto mail = MailFor(row.scenario, row.secret);
        // The SMTP session's exception never reaches the sign-in's certificate checks.
        EXPECT_EQ(mail->Set(L"AllowInvalidCertificate", Arg::Bool(true)), S_OK);
        EXPECT_EQ(row.setting ? mail->Set(row.setting, Arg::Text(row.value)) : S_OK, S_OK);
        const size_t before = Tail(requests_, 0).size(), browsed = Tail(browserLog_, 0).size();
        CallResult answer = SignIn(*mail, row.flow);
        const std::string requests = Requests(before);
        EXPECT_TRUE(std::regex_match(requests, std::regex(row.requests))) << requests;
        const bool raised = answer.hr == DISP_E_EXCEPTION && answer.exception.scode != S_OK;
        EXPECT_EQ(raised ? -1 : answer.Flag(), row.answer) << Narrow(answer.Description()) << "\n"
                                                           << Tail(browserLog_, browsed);
        EXPECT_NE(answer.Description().find(row.words), std::wstring::npos) << Narrow(answer.Description());
        // True brings the server's token, its expiry (0 when unknown) and, after a user's sign-in, a refresh token.
        EXPECT_EQ(Text(*mail, L"AccessToken").rfind(L"at-" + Text(*mail, L"OAuthClientId"), 0) == 0, row.answer == 1);
        const bool refreshed = Text(*mail, L"OAuthRefreshToken").rfind(L"rt-" + Text(*mail, L"OAuthClientId"), 0) == 0;
        EXPECT_EQ(refreshed, row.answer == 1 && row.flow != OAUTH_CLIENT_CREDENTIALS);
        const CallResult expiry = Get(mail->mail.Get(), L"OAuthTokenExpires");
        const double expires = V_VT(&expiry.value) == VT_DATE ? V_DATE(&expiry.value) : -1;
        const bool known = row.answer == 1 && wcscmp(row.scenario, L"no-expiry");
        EXPECT_TRUE(known ? expires - today > 0.02 && expires - today < 0.043 : expires == 0) << expires;
        // The device flow shows the user the server's code once.
        std::wstring shown;
        for (const auto& event : mail->sink->events) shown += event.id == kOAuthUserCode ? event.text + L"\n" : L"";
        EXPECT_TRUE(std::regex_match(shown, requests.find('D') != requests.npos ? userCode : std::wregex(L"")))
            << Narrow(shown);
    }
}

TEST_F(OAuth, SendRenewsTheTokenWhenItRunsOutOrIsRefused) {
    struct Row {
        const wchar_t* scenario;
        bool signIn;  // with client credentials first; else without an access token
        AUTH_MECHANISM mechanism;
        const wchar_t* username;  // "": the mailbox
        const char* logins;       // see Logins
        const wchar_t* outcome;
        const wchar_t* inside = L"";
    } const rows[] = {
        {L"ok", true, AUTH_XOAUTH2, L"", "accepted signed-in", L"SendSuccesful"},
        {L"short-lived", true, AUTH_XOAUTH2, L"", "accepted renewed", L"SendSuccesful"},  // 30 s left
        {L"revoked-first", true, AUTH_XOAUTH2, L"", "refused signed-in accepted renewed", L"SendSuccesful"},
        {L"ok", false, AUTH_AUTOMATIC, L"", "accepted renewed", L"SendSuccesful"},
        {L"ok", true, AUTH_XOAUTH2, L"other@example.com", "refused signed-in refused renewed", L"SendFailed: "},
        {L"invalid-client", false, AUTH_XOAUTH2, L"", "", L"SendFailed: OAuth token renewal failed: ",
         L"invalid_client"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << Narrow(row.scenario) << " " << row.mechanism << " " << row.logins);
        const bool refreshOnly = !wcscmp(row.scenario, L"invalid-client");  // no secret, a refused refresh token
        auto mail = MailFor(row.scenario, refreshOnly ? L"" : secret_);
        EXPECT_EQ(mail->Set(L"AuthMechanism", Arg::Long(row.mechanism)), S_OK);
        EXPECT_EQ(refreshOnly ? mail->Set(L"OAuthRefreshToken", Arg::Text(L"rt-any")) : S_OK, S_OK);
        EXPECT_EQ(row.signIn ? SignIn(*mail, OAUTH_CLIENT_CREDENTIALS).Flag() : 1, 1);
        EXPECT_EQ(*row.username ? mail->Set(L"Username", Arg::Text(row.username)) : S_OK, S_OK);
        const std::wstring signedIn = Text(*mail, L"AccessToken");
        const size_t before = Tail(logins_, 0).size();
        EXPECT_EQ(mail->Do(L"Send").hr, S_OK);
        EXPECT_EQ(mail->Count(row.outcome, row.inside), 1) << testing::PrintToString(mail->Texts());
        EXPECT_EQ(mail->Count(L"SendSuccesful") + mail->Count(L"SendFailed"), 1);
        EXPECT_EQ(Logins(before, signedIn), row.logins);
    }
}

// The refresh token and the client secret are stored encrypted for the user, the access token not
// at all; a new object signs in with them without the user and sends. No secret reaches the trace.
TEST_F(OAuth, AStoredRefreshTokenSignsInSilentlyAndNoSecretIsTraced) {
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    const std::wstring trace = TempFolder() + L"\\trace.log";
    SetEnvironmentVariableW(L"ZANKIT_MAIL_TRACE", trace.c_str());
    std::wstring secrets[4] = {secret_};  // the secret, both access tokens, the refresh token
    {
        auto first = MailFor(L"ok", secret_, true);
        EXPECT_EQ(SignIn(*first, OAUTH_DEVICE_CODE).Flag(), 1);
        secrets[1] = Text(*first, L"AccessToken");
        secrets[2] = Text(*first, L"OAuthRefreshToken");
        for (const wchar_t* name :
             {L"OAuthTokenUrl", L"OAuthDeviceCodeUrl", L"OAuthAuthorizeUrl", L"OAuthClientId", L"OAuthScope"}) {
            EXPECT_EQ(Stored(name), Text(*first, name)) << Narrow(name);
        }
    }
    EXPECT_EQ(Stored(L"AccessToken"), L"<none>");
    for (const wchar_t* name : {L"OAuthRefreshToken", L"OAuthClientSecret"}) {
        const std::wstring value = Stored(name);
        EXPECT_TRUE(value != L"<none>" && !value.empty()) << Narrow(name);
        for (const std::wstring& secret : secrets) EXPECT_TRUE(secret.empty() || value.find(secret) == value.npos);
    }
    {
        SendingMail second(std::stol(Env(L"ZANKIT_XOAUTH2_PORT")));
        const size_t before = Tail(requests_, 0).size(), logins = Tail(logins_, 0).size();
        EXPECT_EQ(SignIn(second, OAUTH_BROWSER).Flag(), 1);
        EXPECT_EQ(Requests(before), "r");  // neither the browser nor the user
        secrets[3] = Text(second, L"AccessToken");
        EXPECT_EQ(second.Do(L"Send").hr, S_OK);
        EXPECT_EQ(second.Count(L"SendSuccesful"), 1) << testing::PrintToString(second.Texts());
        EXPECT_EQ(Logins(logins, secrets[3]), "accepted signed-in");
    }
    SetEnvironmentVariableW(L"ZANKIT_MAIL_TRACE", nullptr);
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    const std::string traced = ReadBytes(trace);
    EXPECT_NE(traced.find("AUTH XOAUTH2"), std::string::npos) << traced;
    for (const std::wstring& secret : secrets) EXPECT_EQ(traced.find(Narrow(secret)), std::string::npos);
}

}  // namespace
