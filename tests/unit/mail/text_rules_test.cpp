#include <gtest/gtest.h>

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

TEST(Lists, SplitAndJoinAtTheDelimiter) {
    EXPECT_TRUE(SplitList("", ";").empty());
    EXPECT_EQ(SplitList("a;b;", ";"), (TextList{"a", "b", ""}));
    EXPECT_EQ(SplitList("a;b", ""), (TextList{"a;b"}));
    EXPECT_EQ(JoinList({"a", "b"}, ","), "a,b");
}

TEST(Lists, CleaningTrimsSpacesThenDropsCrLfPairsAndTabs) {
    TextList list{"  a@b.de  ", "x\r\ny@b.de", "\tz@b.de ", "lone\rcr\n"};
    CleanAddressList(list);
    EXPECT_EQ(list, (TextList{"a@b.de", "xy@b.de", "z@b.de", "lone\rcr\n"}));
}

TEST(Message, LeadingDotsAreDoubled) {
    EXPECT_EQ(NormalizeMessage(""), "");
    EXPECT_EQ(NormalizeMessage(".start\r\nmid\r\n.\r\nend"), "..start\r\nmid\r\n..\r\nend");
    EXPECT_EQ(NormalizeMessage(".one line"), "..one line");
    EXPECT_EQ(NormalizeMessage("a\r.b"), "a\r..b");
}

TEST(Message, LongLinesBreakAt998OrAfterTheLastSpace) {
    const std::string broken = NormalizeMessage(std::string(2000, 'x'));
    EXPECT_EQ(broken, std::string(998, 'x') + "\r\n" + std::string(998, 'x') + "\r\n" + std::string(4, 'x'));

    const std::string words = std::string(500, 'a') + " " + std::string(600, 'b');
    EXPECT_EQ(NormalizeMessage(words), std::string(500, 'a') + " \r\n" + std::string(600, 'b'));

    EXPECT_EQ(NormalizeMessage(std::string(998, 'y')), std::string(998, 'y'));
    EXPECT_EQ(NormalizeMessage("a\r" + std::string(1000, 'z')), "a\r" + std::string(998, 'z') + "\r" + "zz");
}

TEST(Message, PiecesOfABrokenLineStartingWithADotAreStuffed) {
    // Without stuffing, the final piece would be a lone "." line that ends the data early.
    const std::string text = std::string(998, 'x') + ".";
    EXPECT_EQ(NormalizeMessage(text), std::string(998, 'x') + "\r\n..");
}

}  // namespace
}  // namespace zankit::mail
