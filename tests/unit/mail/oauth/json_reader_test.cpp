// The JSON reader: what it reads (in canonical form), what it refuses and why, and the token
// fields as the sign-in reads them.
#include <gtest/gtest.h>

#include "json_canonical.h"

namespace zankit::mail {
namespace {

struct Row {
    std::string text, expected;  // the canonical form of the value read, or why the text is refused
};

std::string Nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }
std::string StringOfBytes(std::size_t bytes) { return '"' + std::string(bytes - 2, 'a') + '"'; }
std::string ArrayOfValues(std::size_t values) {  // the array and values - 1 zeros
    std::string text = "[0";
    while (text.size() < 2 * values - 2) text += ",0";
    return text + "]";
}

TEST(JsonReader, Accepted) {
    const Row rows[] = {
        // clang-format off
        {R"({"access_token":"ya29.a-b_c","expires_in":3599})", R"({"access_token":"ya29.a-b_c","expires_in":3599})"},
        {" \t\r\n{ \"a\" : [ 1 , { } , [ ] ] } \n", R"({"a":[1,{},[]]})"}, {" true ", "true"},
        {R"([[[]],{"a":{"b":[null,true,false]}},""])", R"([[[]],{"a":{"b":[null,true,false]}},""])"},
        {R"("\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC")", R"("\"\\/\u0008\u000c\u000a\u000d\u0009Aé€")"},
        {R"("\ud83d\uDE00")", "\"\xF0\x9F\x98\x80\""}, {R"("a\u0000b")", R"("a\u0000b")"},
        {"\"\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF\"", "\"\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF\""},
        {"[0,-0,1.5,-12.25e+2,1E3,2e-3,123456789,1e308]", "[0,-0,1.5,-1225,1000,0.002,123456789,1e+308]"},
        {Nested(32), Nested(32)}, {StringOfBytes(1 << 20), StringOfBytes(1 << 20)},
        {ArrayOfValues(100000), ArrayOfValues(100000)},
        // clang-format on
    };
    for (const Row& row : rows) {
        std::string error = "unchanged";
        const auto value = ParseJson(row.text, {}, &error);
        ASSERT_TRUE(value) << row.text.substr(0, 80) << ": " << error;
        EXPECT_EQ(CanonicalJson(*value), row.expected);
        EXPECT_EQ(error, "");
    }
}

TEST(JsonReader, Refused) {
    const std::string at0 = "unexpected character at byte 0", at1 = "unexpected character at byte 1";
    const std::string end = "unexpected end of text", utf8 = "invalid UTF-8 at byte 1";
    const Row rows[] = {
        // clang-format off
        {"", end}, {"\f1", at0}, {"1 2", "unexpected character at byte 2"}, {"[1,]", "unexpected character at byte 3"},
        {R"({"a":1,})", "unexpected character at byte 7"}, {"[1] // note", "unexpected character at byte 4"},
        {"['a']", at1}, {"{a:1}", at1}, {"[NaN]", at1}, {"-Infinity", at1}, {"01", at1}, {"+1", at0}, {".5", at0},
        {"1.", end}, {"[1e999]", "number out of range at byte 1"}, {R"("\x")", "invalid escape at byte 1"},
        {R"("\ud83d")", "lone surrogate at byte 1"}, {R"("\ud83d\u0041")", "lone surrogate at byte 1"},
        {R"("\ude00\ud83d")", "lone surrogate at byte 1"}, {"\"a\tb\"", "control character in a string at byte 2"},
        {std::string("\"\0\"", 3), "control character in a string at byte 1"},
        // overlong forms of '/', U+D800, above U+10FFFF, cut off
        {"\"\xC0\xAF\"", utf8}, {"\"\xE0\x80\xAF\"", utf8}, {"\"\xED\xA0\x80\"", utf8}, {"\"\xF4\x90\x80\x80\"", utf8},
        {"\"\xE2\x82\"", utf8}, {R"({"a":1,"b":2,"a":1})", "duplicate key in the object at byte 0"},
        {Nested(33), "nested too deeply"}, {R"({"a":)" + Nested(32) + "}", "nested too deeply"},
        {ArrayOfValues(100001), "more than 100000 values"}, {StringOfBytes((1 << 20) + 1), "larger than 1048576 bytes"},
        // clang-format on
    };
    for (const Row& row : rows) {
        std::string error;
        EXPECT_FALSE(ParseJson(row.text, {}, &error)) << row.text.substr(0, 80);
        EXPECT_EQ(error, row.expected) << row.text.substr(0, 80);
    }
    const JsonLimits small{8, 1, 3};
    for (const char* text : {"[[]]", "[1,2,3]", "\"1234567\""}) EXPECT_FALSE(ParseJson(text, small)) << text;
    for (const char* text : {"[]", "[1,2]", "\"123456\""}) EXPECT_TRUE(ParseJson(text, small)) << text;
}

TEST(JsonReader, TokenFields) {
    const auto token = ParseJson(R"({"access_token":"t","expires_in":"3599","n":-1.5,"s":"35s","m":"-1","b":true})");
    EXPECT_EQ(token->TextOf("access_token"), "t");
    EXPECT_EQ(token->NumberOf("expires_in"), 3599);  // digits in a string count
    EXPECT_EQ(token->NumberOf("n"), -1.5);
    for (const char* key : {"s", "m", "b", "absent"}) EXPECT_FALSE(token->NumberOf(key)) << key;
    for (const char* key : {"n", "b", "absent"}) EXPECT_EQ(token->TextOf(key), "") << key;
    EXPECT_EQ(ParseJson(R"(["access_token"])")->Find("access_token"), nullptr);
}

}  // namespace
}  // namespace zankit::mail
