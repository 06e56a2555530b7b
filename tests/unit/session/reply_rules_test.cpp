// Reply assembly and the pure rules of the conversation.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "mail/encodings.h"
#include "mail/reply_assembler.h"
#include "mail/session_rules.h"

namespace zankit::mail {
namespace {

// "code:text" for every reply the bytes complete, fed in pieces of pieceSize bytes.
std::vector<std::string> Assemble(const std::string& bytes, ReplyAssembler::Mode mode, std::size_t pieceSize) {
    ReplyAssembler replies;
    replies.SetMode(mode);
    std::vector<std::string> out;
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
        replies.Append(std::string_view(bytes).substr(at, pieceSize));
        while (auto reply = replies.NextReply()) out.push_back(std::to_string(reply->code) + ":" + reply->text);
    }
    return out;
}

TEST(ReplyAssembly, HandsOutWholeRepliesWithTheirCodes) {
    using Mode = ReplyAssembler::Mode;
    const std::string ehlo = "250-mail.test\r\n250-SIZE 100\r\n250-AUTH LOGIN\r\n250 HELP\r\n";
    const std::tuple<std::string, Mode, std::vector<std::string>> cases[] = {
        {ehlo, Mode::Smtp, {"250:" + ehlo}},
        {"250 OK\r\n550 no such user\r\n354 go", Mode::Smtp, {"250:250 OK\r\n", "550:550 no such user\r\n"}},
        // A bare code, a bare line feed and text that is no reply end where their line ends.
        {"250\n-ERR x\r\nhello\r\n", Mode::Smtp, {"250:250\n", "1001:-ERR x\r\n", "0:hello\r\n"}},
        {"+ok-ready\r\n+OK\r\n-ERR [AUTH] failed\r\n",
         Mode::Pop3,
         {"1000:+ok-ready\r\n", "1000:+OK\r\n", "1001:-ERR [AUTH] failed\r\n"}},
        {"250-fine\r\n550 refused\r\n", Mode::Smtp, {"0:250-fine\r\n550 refused\r\n"}},
        {"22", Mode::Smtp, {}},
    };
    for (const auto& [bytes, mode, replies] : cases) {
        SCOPED_TRACE(bytes);
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, bytes.size()}) {
            EXPECT_EQ(Assemble(bytes, mode, piece), replies) << "pieces of " << piece;
        }
    }
}

TEST(ReplyAssembly, AReplyPastTheCapIsCutOff) {
    std::string endlessLines;
    for (int i = 0; i < 1200; ++i) endlessLines += "250-more\r\n";
    for (const std::string& bytes : {endlessLines, std::string(70000, 'x')}) {
        const auto replies = Assemble(bytes, ReplyAssembler::Mode::Smtp, 4096);
        ASSERT_FALSE(replies.empty());
        EXPECT_EQ(replies[0].substr(0, 3), "-1:");
        EXPECT_LE(replies[0].size(), ReplyAssembler::kMaxReplyBytes + 4096 + 3);
    }
}

TEST(ReplyRules, PromptsAndOffers) {
    EXPECT_EQ(AuthPromptOf("334 VXNlcm5hbWU6\r\n"), AuthPrompt::Username);
    EXPECT_EQ(AuthPromptOf("334   UGFzc3dvcmQ6  \r\n"), AuthPrompt::Password);
    EXPECT_EQ(AuthPromptOf("334 " + Base64EncodeString("Who are you?")), AuthPrompt::Other);
    EXPECT_TRUE(OffersAuthLogin("250-mail.test\r\n250-SIZE 1\r\n250 AUTH PLAIN LOGIN\r\n"));
    EXPECT_TRUE(OffersAuthLogin("250-AUTH=LOGIN PLAIN\r\n250 HELP\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-mail.test\r\n250 AUTH PLAIN CRAM-MD5\r\n"));
    EXPECT_EQ(HeloDomain("example.com"), "example.com");
}

TEST(ProgressMaths, RoundsHalvesToEvenAndCapsAt100) {
    const struct {
        std::int64_t sent, total;
        std::int32_t percent;
    } cases[] = {{1, 8, 12}, {3, 8, 38}, {5, 8, 62},
                 {1, 3, 33}, {2, 3, 67}, {300, 100, 100},
                 {5, 0, 0},  {5, -1, 0}, {3000000000LL, 6000000000LL, 50}};
    for (const auto& c : cases) EXPECT_EQ(ProgressPercent(c.sent, c.total), c.percent) << c.sent << "/" << c.total;
}

}  // namespace
}  // namespace zankit::mail
