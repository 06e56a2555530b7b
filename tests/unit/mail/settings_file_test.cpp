#include <gtest/gtest.h>

#include <algorithm>

#include "mail/settings_file_format.h"

namespace zankit::mail {
namespace {

TEST(SettingsFile, SeparatorsInKeysAndValuesSurviveOneLinePerEntry) {
    const SettingEntries entries = {{"Plain", "value"},
                                    {"Key=With=Equals", "a=b"},
                                    {"Lines", "one\r\ntwo\nthree%41"},
                                    {"Nul", std::string("x\0y", 3)},
                                    {"Empty", ""}};
    const std::string content = FormatSettingsFile(entries);
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 5);
    EXPECT_EQ(ParseSettingsFile(content), entries);
    EXPECT_EQ(ParseSettingsFile("junk\nA=1\n\n"), (SettingEntries{{"A", "1"}}));
}

}  // namespace
}  // namespace zankit::mail
