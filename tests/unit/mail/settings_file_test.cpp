#include <gtest/gtest.h>

#include <algorithm>

#include "mail/setting_values.h"
#include "mail/settings_file_format.h"

namespace zankit::mail {
namespace {

TEST(SettingsFile, KeysAndValuesWithSeparatorsSurvive) {
  const SettingEntries entries = {{"Plain", "value"},
                                  {"Key=With=Equals", "a=b"},
                                  {"Lines", "one\r\ntwo\nthree%41"},
                                  {"Nul", std::string("x\0y", 3)},
                                  {"Empty", ""}};
  const std::string content = FormatSettingsFile(entries);
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 5);
  EXPECT_EQ(ParseSettingsFile(content), entries);
}

TEST(SettingsFile, LinesWithoutEqualsAreSkipped) {
  EXPECT_EQ(ParseSettingsFile("junk\nA=1\n\n"), (SettingEntries{{"A", "1"}}));
}

TEST(SettingValues, NumbersAndBooleans) {
  EXPECT_EQ(ParseSettingNumber("25"), 25);
  EXPECT_EQ(ParseSettingNumber(" -1 "), -1);
  EXPECT_EQ(ParseSettingNumber("True"), -1);
  EXPECT_EQ(ParseSettingNumber("false"), 0);
  EXPECT_EQ(ParseSettingNumber("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseSettingNumber("2147483648"));
  EXPECT_FALSE(ParseSettingNumber("12abc"));
  EXPECT_FALSE(ParseSettingNumber(""));
  EXPECT_EQ(BooleanSettingText(true), "-1");
  EXPECT_EQ(BooleanSettingText(false), "0");
}

}  // namespace
}  // namespace zankit::mail
