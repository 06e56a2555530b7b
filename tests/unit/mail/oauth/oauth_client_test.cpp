// The sign-in flows over a scripted network and a clock that moves only when the client waits:
// the answers the authorization server of the host tests does not give (or gives only after
// minutes), what the client posts, and how long it waits. The host tests drive every other
// answer over real HTTPS.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "../session_test_support.h"
#include "mail/oauth/oauth_client.h"
#include "mail/oauth/sha256.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::ScriptedSystem;

// UTC follows the scripted clock, so waits cost no real time.
class ClockedSystem : public ScriptedSystem {
public:
    UtcStamp UtcNow() override {
        const auto seconds = static_cast<long long>(clock);
        return {2026,
                12,
                7,
                static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60),
                static_cast<int>((clock - seconds) * 1000)};
    }
};

HttpsAnswer Json(std::string body, long status = 200) { return {status, "application/json; charset=utf-8", body}; }
const HttpsAnswer kDevice =
    Json(R"({"device_code":"dc","user_code":"UC-1","verification_uri":"https://v","expires_in":8,"interval":1})");
const HttpsAnswer kToken =
    Json(R"({"access_token":"at","token_type":"bearer","expires_in":3600,"refresh_token":"rt2"})");
HttpsAnswer Refusal(const std::string& error) {
    return Json(R"({"error":")" + error + R"(","error_description":"d"})", 400);
}

class ScriptedNetwork final : public OAuthNetwork, public LoopbackListener {
public:
    explicit ScriptedNetwork(ScriptedSystem& system) : system_(system) {}
    HttpsAnswer PostForm(const std::string& url, const std::string& form, std::size_t) override {
        posts.push_back(url + " " + form);
        if (answers.empty()) throw OAuthError("no answer scripted");
        HttpsAnswer next = answers.front();
        answers.pop_front();
        return next;
    }
    std::unique_ptr<LoopbackListener> ListenOnLoopback() override { return std::make_unique<Forward>(*this); }
    bool OpenInBrowser(const std::string& url) override {
        opened = url;
        return true;
    }
    std::string RandomBytes(std::size_t count) override { return std::string(count, 'r'); }
    int Port() const override { return 50123; }
    std::optional<std::string> NextRequest(unsigned wait) override {
        if (requests.empty()) {
            system_.SleepMilliseconds(wait);
            return std::nullopt;
        }
        std::string target = requests.front();
        requests.pop_front();
        // The state the client put into the authorize address.
        const std::string state = QueryFields(opened)["state"];
        if (const auto at = target.find("{state}"); at != std::string::npos) target.replace(at, 7, state);
        return target;
    }
    void Answer(int status, const std::string&) override { statuses.push_back(status); }

    std::deque<HttpsAnswer> answers;
    std::deque<std::string> requests;
    std::vector<std::string> posts;
    std::vector<int> statuses;
    std::string opened;

private:
    struct Forward final : LoopbackListener {
        explicit Forward(ScriptedNetwork& n) : network(n) {}
        int Port() const override { return network.Port(); }
        std::optional<std::string> NextRequest(unsigned wait) override { return network.NextRequest(wait); }
        void Answer(int status, const std::string& html) override { network.Answer(status, html); }
        ScriptedNetwork& network;
    };
    ScriptedSystem& system_;
};

// A mail object's settings with a provider configured.
struct Provider {
    Provider() {
        settings.SetOAuthTokenUrl("https://id.example/token");
        settings.SetOAuthDeviceCodeUrl("https://id.example/device");
        settings.SetOAuthAuthorizeUrl("https://id.example/authorize?tenant=t");
        settings.SetOAuthClientId("app");
    }
    ClockedSystem system;
    MemoryStore store;
    PendingErrors errors;
    HostUtilities hosts{system};
    MailSettings settings{errors, store, system, hosts};
    ScriptedNetwork network{system};
};

struct SignInRow {
    const char* name;
    OAuthFlow flow;
    std::vector<HttpsAnswer> answers;
    std::vector<std::string> requests;  // what the browser brings to the loopback listener
    const char* outcome;                // "true", "false", or words of the error
    int posts;                          // requests the endpoints received
    double seconds = 0;                 // time waited, at least
    const char* refreshToken = "";
    const char* secret = "";
};

TEST(OAuthClient, SignInFlows) {
    // clang-format off
    const SignInRow rows[] = {
        {"slow down adds 5 s", OAuthFlow::DeviceCode, {kDevice, Refusal("slow_down"), kToken}, {}, "true", 3, 7},
        {"code runs out", OAuthFlow::DeviceCode, {kDevice, Refusal("authorization_pending"), Refusal("slow_down"), Refusal("authorization_pending")}, {}, "false", 3, 8},
        {"other error while polling", OAuthFlow::DeviceCode, {kDevice, Refusal("invalid_grant")}, {}, "token endpoint answered invalid_grant: d", 2},
        {"refresh fails otherwise", OAuthFlow::Browser, {Refusal("invalid_client")}, {}, "invalid_client", 1, 0, "rt"},
        {"browser", OAuthFlow::Browser, {kToken}, {"/favicon.ico", "/?code=c1&state={state}"}, "true", 1},
        {"browser error", OAuthFlow::Browser, {}, {"/?error=server_error&error_description=x&state={state}"}, "authorization endpoint answered server_error: x", 0},
        {"browser never came back", OAuthFlow::Browser, {}, {}, "false", 0, kBrowserWaitSeconds},
        {"no token", OAuthFlow::ClientCredentials, {Json(R"({"token_type":"bearer"})")}, {}, "holds no access_token", 1, 0, "", "s"},
        {"control characters in the token", OAuthFlow::ClientCredentials, {Json(R"({"access_token":"a\u0001auth=x"})")}, {}, "characters no bearer token holds", 1, 0, "", "s"},
        {"not a bearer token", OAuthFlow::ClientCredentials, {Json(R"({"access_token":"a","token_type":"mac"})")}, {}, "type mac", 1, 0, "", "s"},
    };
    // clang-format on
    for (const SignInRow& row : rows) {
        SCOPED_TRACE(row.name);
        Provider provider;
        ClockedSystem& system = provider.system;
        MailSettings& settings = provider.settings;
        ScriptedNetwork& network = provider.network;
        settings.SetOAuthRefreshToken(row.refreshToken);
        settings.SetOAuthClientSecret(row.secret);
        network.answers.assign(row.answers.begin(), row.answers.end());
        network.requests.assign(row.requests.begin(), row.requests.end());
        int notices = 0;
        OAuthClient client(settings, network, system, [&](std::string& uri, std::string& code, std::string& message) {
            EXPECT_EQ(uri + " " + code, "https://v UC-1");
            EXPECT_EQ(message, "To sign in, open https://v and enter the code UC-1.");
            ++notices;
        });
        const double start = system.clock;
        std::string outcome;
        try {
            outcome = client.SignIn(row.flow) ? "true" : "false";
        } catch (const OAuthError& failure) {
            outcome = failure.what();
        }
        EXPECT_NE(outcome.find(row.outcome), std::string::npos) << outcome;
        EXPECT_EQ(network.posts.size(), static_cast<std::size_t>(row.posts));
        EXPECT_GE(system.clock - start, row.seconds);
        EXPECT_LT(system.clock - start, row.seconds + 2);
        const bool deviceGranted = std::any_of(row.answers.begin(), row.answers.end(),
                                               [](const HttpsAnswer& a) { return a.body == kDevice.body; });
        EXPECT_EQ(notices, deviceGranted ? 1 : 0);
        if (outcome == "true") {
            EXPECT_EQ(settings.AccessToken(), "at");
            EXPECT_EQ(settings.OAuthRefreshToken(), "rt2");
            EXPECT_GT(settings.TokenExpiresUtc(), 0);
        } else {
            EXPECT_EQ(settings.AccessToken(), "");
        }
    }
}

// The browser flow's addresses: the authorize address keeps its own query and carries the S256
// challenge of the verifier that the code exchange sends; the redirect goes to the listener.
TEST(OAuthClient, BrowserProofKey) {
    Provider provider;
    ClockedSystem& system = provider.system;
    MailSettings& settings = provider.settings;
    ScriptedNetwork& network = provider.network;
    settings.SetOAuthScope("mail offline_access");
    network.answers = {kToken};
    network.requests = {"/?code=c%2F1&state={state}"};
    OAuthClient client(settings, network, system, nullptr);
    ASSERT_TRUE(client.SignIn(OAuthFlow::Browser));
    auto opened = QueryFields(network.opened);
    EXPECT_EQ(network.opened.rfind("https://id.example/authorize?tenant=t&response_type=code&", 0), 0U);
    EXPECT_EQ(opened["redirect_uri"], "http://127.0.0.1:50123/");
    EXPECT_EQ(opened["scope"], "mail offline_access");
    EXPECT_EQ(opened["code_challenge_method"], "S256");
    const auto sent = QueryFields("?" + network.posts[0].substr(network.posts[0].find(' ') + 1));
    EXPECT_EQ(sent.at("code"), "c/1");
    // The verifier sent is the one whose S256 challenge the authorize address carried.
    const auto digest = Sha256(sent.at("code_verifier"));
    EXPECT_EQ(Base64Url(std::string(digest.begin(), digest.end())), opened["code_challenge"]);
    EXPECT_EQ(sent.at("code_verifier").size(), 64U);
    EXPECT_EQ(network.statuses, std::vector<int>{200});
    // RFC 7636's example: its 32 random octets, verifier and challenge.
    const unsigned char octets[] = {116, 24,  223, 180, 151, 153, 224, 37,  79, 250, 96, 125, 216, 173, 187, 186,
                                    22,  212, 37,  77,  105, 214, 191, 240, 91, 88,  5,  88,  83,  132, 141, 121};
    const ProofKey example = ProofKeyFrom(std::string(std::begin(octets), std::end(octets)));
    EXPECT_EQ(example.verifier, "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");
    EXPECT_EQ(example.challenge, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
}

TEST(OAuthClient, EndpointsMustBeHttps) {
    for (const char* url : {"http://id.example/token", "https:///token", "ftp://x", "token", "HTTPS://id.example/t"}) {
        EXPECT_EQ(IsHttpsUrl(url), std::string(url).starts_with("HTTPS")) << url;
    }
}

}  // namespace
}  // namespace zankit::mail
