#include <gtest/gtest.h>

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

TEST(Lists, SplitCleanAndJoin) {
    EXPECT_TRUE(SplitList("", ";").empty());
    EXPECT_EQ(SplitList("a;b;", ";"), (TextList{"a", "b", ""}));
    EXPECT_EQ(SplitList("a;b", ""), (TextList{"a;b"}));
    EXPECT_EQ(JoinList({"a", "b"}, ","), "a,b");

    // Spaces are trimmed, then CR LF pairs and tabs dropped; lone CR or LF stay.
    TextList list{"  a@b.de  ", "x\r\ny@b.de", "\tz@b.de ", "lone\rcr\n"};
    CleanAddressList(list);
    EXPECT_EQ(list, (TextList{"a@b.de", "xy@b.de", "z@b.de", "lone\rcr\n"}));
}

TEST(Message, DotsAreDoubledAndLongLinesBroken) {
    const std::string words = std::string(500, 'a') + " " + std::string(600, 'b');
    const struct {
        const char* what;
        std::string text;
        std::string expected;
    } rows[] = {
        {"empty", "", ""},
        {"leading dots", ".start\r\nmid\r\n.\r\nend", "..start\r\nmid\r\n..\r\nend"},
        {"dot after a lone CR", "a\r.b", "a\r..b"},
        {"break at 998", std::string(2000, 'x'),
         std::string(998, 'x') + "\r\n" + std::string(998, 'x') + "\r\n" + std::string(4, 'x')},
        {"break after the last space", words, std::string(500, 'a') + " \r\n" + std::string(600, 'b')},
        {"998 characters stay whole", std::string(998, 'y'), std::string(998, 'y')},
        {"a lone CR ends a line", "a\r" + std::string(1000, 'z'), "a\r" + std::string(998, 'z') + "\rzz"},
        // Without stuffing, the last piece would be a lone "." line that ends the data early.
        {"a piece starting with a dot", std::string(998, 'x') + ".", std::string(998, 'x') + "\r\n.."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(NormalizeMessage(row.text), row.expected);
    }
}

}  // namespace
}  // namespace zankit::mail
