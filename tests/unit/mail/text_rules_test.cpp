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

}  // namespace
}  // namespace zankit::mail
