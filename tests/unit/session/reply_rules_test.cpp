// Reply assembly and the pure rules of the conversation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/encodings.h"
#include "mail/reply_assembler.h"
#include "mail/session_rules.h"

namespace zankit::mail {
namespace {

std::vector<std::string> Drain(ReplyAssembler& replies) {
    std::vector<std::string> out;
    while (auto reply = replies.NextReply()) out.push_back(*reply);
    return out;
}

TEST(ReplyAssembly, HandsOutSmtpRepliesOnlyWhenWhole) {
    ReplyAssembler replies;
    const std::string ehlo = "250-mail.test\r\n250-SIZE 100\r\n250-AUTH LOGIN\r\n250 HELP\r\n";
    // Byte by byte, nothing is handed out before the last line ends.
    std::vector<std::string> got;
    for (char c : ehlo) {
        replies.Append(std::string(1, c));
        for (auto& reply : Drain(replies)) got.push_back(reply);
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], ehlo);
}

TEST(ReplyAssembly, SplitsJoinedRepliesAndKeepsTheRest) {
    ReplyAssembler replies;
    replies.Append("250 OK\r\n550 no such user\r\n354 go");
    EXPECT_EQ(Drain(replies), (std::vector<std::string>{"250 OK\r\n", "550 no such user\r\n"}));
    replies.Append(" ahead\r\n");
    EXPECT_EQ(Drain(replies), (std::vector<std::string>{"354 go ahead\r\n"}));
}

TEST(ReplyAssembly, EndsAReplyAtAnyLineThatDoesNotContinue) {
    ReplyAssembler replies;
    // A bare code, a bare line feed and text that is no reply at all end where their line ends.
    replies.Append("250\n-ERR x\r\nhello\r\n");
    EXPECT_EQ(Drain(replies), (std::vector<std::string>{"250\n", "-ERR x\r\n", "hello\r\n"}));
}

TEST(ReplyAssembly, Pop3ModeTakesEveryLineAlone) {
    ReplyAssembler replies;
    replies.SetMode(ReplyAssembler::Mode::Pop3);
    replies.Append("+OK-ready\r\n+OK\r\n-ERR [AUTH] failed\r\n");
    EXPECT_EQ(Drain(replies), (std::vector<std::string>{"+OK-ready\r\n", "+OK\r\n", "-ERR [AUTH] failed\r\n"}));
}

TEST(ReplyAssembly, AnEndlessLineIsJudgedOnceItIsTooLong) {
    ReplyAssembler replies;
    replies.Append(std::string(70000, 'x'));
    const auto got = Drain(replies);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), 70000u);
}

TEST(ReplyRules, JudgesByTheCodeInAnyLetterCase) {
    EXPECT_EQ(ClassifyReply("250-x\r\n250 y\r\n"), ReplyAction::Accepted250);
    EXPECT_EQ(ClassifyReply("+ok fine\r\n"), ReplyAction::Pop3Ok);
    EXPECT_EQ(ClassifyReply("-err no\r\n"), ReplyAction::Pop3Error);
    EXPECT_EQ(ClassifyReply("214 help\r\n"), ReplyAction::Ignore);
    // Codes outside the table, and text too short to hold one, are refusals.
    EXPECT_EQ(ClassifyReply("421 closing\r\n"), ReplyAction::Refused);
    EXPECT_EQ(ClassifyReply("22"), ReplyAction::Refused);
}

TEST(ReplyRules, AuthLoginOfferedAnywhereInTheWholeReply) {
    EXPECT_TRUE(OffersAuthLogin("250-mail.test\r\n250-SIZE 1\r\n250 AUTH PLAIN LOGIN\r\n"));
    EXPECT_TRUE(OffersAuthLogin("250-AUTH=LOGIN PLAIN\r\n250 HELP\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-mail.test\r\n250 AUTH PLAIN CRAM-MD5\r\n"));
}

TEST(ReplyRules, AnswersLoginPromptsByWhatTheyAsk) {
    EXPECT_EQ(AuthPromptAnswer("334 VXNlcm5hbWU6\r\n", "zankit", "s3cret"), Base64EncodeString("zankit"));
    EXPECT_EQ(AuthPromptAnswer("334 UGFzc3dvcmQ6\r\n", "zankit", "s3cret"), Base64EncodeString("s3cret"));
    // Spaces around the challenge do not matter; other prompts are cancelled.
    EXPECT_EQ(AuthPromptAnswer("334   UGFzc3dvcmQ6  \r\n", "u", "p"), Base64EncodeString("p"));
    EXPECT_EQ(AuthPromptAnswer("334 " + Base64EncodeString("Who are you?"), "u", "p"), "\r\n*\r\n");
    // An empty user name writes nothing.
    EXPECT_EQ(AuthPromptAnswer("334 VXNlcm5hbWU6\r\n", "", "p"), "");
}

TEST(ReplyRules, CommandValuesStayOnOneLine) {
    // A user name, password or sender domain with line breaks cannot smuggle a command in.
    EXPECT_EQ(NextPop3Move(0, "me\r\nDELE 1", "pw").command, "USER me DELE 1\r\n");
    EXPECT_EQ(NextPop3Move(1, "me", "pw\nQUIT").command, "PASS pw QUIT\r\n");
    EXPECT_EQ(HeloDomain("me@example.com\r\nRSET"), "example.com RSET");
    EXPECT_EQ(HeloDomain("example.com"), "example.com");
}

TEST(ProgressMaths, RoundsHalvesToEvenAndCapsAt100) {
    EXPECT_EQ(ProgressPercent(1, 8), 12);  // 12.5
    EXPECT_EQ(ProgressPercent(3, 8), 38);  // 37.5
    EXPECT_EQ(ProgressPercent(5, 8), 62);  // 62.5
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 67);
    EXPECT_EQ(ProgressPercent(300, 100), 100);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(5, -1), 0);
    // Beyond the range of a 32-bit count.
    EXPECT_EQ(ProgressPercent(3000000000LL, 6000000000LL), 50);
}

}  // namespace
}  // namespace zankit::mail
