// The JSON reader: what it reads (compared in canonical form), what it refuses and why, and the
// token response fields as the sign-in reads them.
#include <gtest/gtest.h>

#include "json_canonical.h"

namespace zankit::mail {
namespace {

std::string Nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }
std::string StringOfBytes(std::size_t bytes) { return '"' + std::string(bytes - 2, 'a') + '"'; }
std::string ArrayOfValues(std::size_t values) {
    std::string text = "[0";
    for (std::size_t i = 2; i < values; ++i) text += ",0";
    return text + "]";
}

TEST(JsonReader, Accepted) {
    const struct {
        std::string text, canonical;
    } rows[] = {
        {R"({"access_token":"ya29.a-b_c","token_type":"Bearer","expires_in":3599,"refresh_token":"1//0g"})",
         R"({"access_token":"ya29.a-b_c","token_type":"Bearer","expires_in":3599,"refresh_token":"1//0g"})"},
        {" \t\r\n{ \"a\" : [ 1 , { } , [ ] ] } \n", R"({"a":[1,{},[]]})"},
        {R"([[[]],{"a":{"b":[null,true,false]}},""])", R"([[[]],{"a":{"b":[null,true,false]}},""])"},
        {R"("\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC")", R"("\"\\/\u0008\u000c\u000a\u000d\u0009Aé€")"},
        {R"("\ud83d\uDE00")", "\"\xF0\x9F\x98\x80\""},
        {R"("a\u0000b")", R"("a\u0000b")"},
        {"\"\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF\"", "\"\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF\""},
        {"[0,-0,1.5,-12.25e+2,1E3,2e-3,123456789,1e308]", "[0,-0,1.5,-1225,1000,0.002,123456789,1e+308]"},
        {" true ", "true"},
        {Nested(32), Nested(32)},
        {StringOfBytes(1024 * 1024), StringOfBytes(1024 * 1024)},
        {ArrayOfValues(100000), ArrayOfValues(100000)},
    };
    for (const auto& row : rows) {
        std::string error = "unchanged";
        const auto value = ParseJson(row.text, {}, &error);
        ASSERT_TRUE(value) << row.text.substr(0, 80) << ": " << error;
        EXPECT_EQ(CanonicalJson(*value), row.canonical);
        EXPECT_EQ(error, "");
    }
}

TEST(JsonReader, Refused) {
    using namespace std::string_literals;
    const struct {
        std::string text, error;
    } rows[] = {
        {"", "unexpected end of text"},
        {"{} {}", "unexpected character at byte 3"},
        {"\f1", "unexpected character at byte 0"},
        {"\xEF\xBB\xBF{}", "unexpected character at byte 0"},
        {"[1,]", "unexpected character at byte 3"},
        {R"({"a":1,})", "unexpected character at byte 7"},
        {"[1] // note", "unexpected character at byte 4"},
        {"['a']", "unexpected character at byte 1"},
        {R"({a:1})", "unexpected character at byte 1"},
        {R"({"a" 1})", "unexpected character at byte 5"},
        {"[NaN]", "unexpected character at byte 1"},
        {"-Infinity", "unexpected character at byte 1"},
        {"tru", "unexpected end of text"},
        {"01", "unexpected character at byte 1"},
        {"+1", "unexpected character at byte 0"},
        {".5", "unexpected character at byte 0"},
        {"1.", "unexpected end of text"},
        {"1.e5", "unexpected character at byte 2"},
        {"[1e]", "unexpected character at byte 3"},
        {"[1e999]", "number out of range at byte 1"},
        {"-1e999", "number out of range at byte 0"},
        {R"(["abc)", "unexpected end of text"},
        {R"("\x")", "invalid escape at byte 1"},
        {R"("\u12G4")", "invalid escape at byte 1"},
        {R"("\U0041")", "invalid escape at byte 1"},
        {R"("\ud83d")", "lone surrogate at byte 1"},
        {R"("\ud83dx")", "lone surrogate at byte 1"},
        {R"("\ud83d\u0041")", "lone surrogate at byte 1"},
        {R"("\ude00\ud83d")", "lone surrogate at byte 1"},
        {"\"a\tb\"", "control character in a string at byte 2"},
        {"\"\0\""s, "control character in a string at byte 1"},
        {"\"\x80\"", "invalid UTF-8 at byte 1"},
        {"\"\xC0\xAF\"", "invalid UTF-8 at byte 1"},          // overlong '/'
        {"\"\xE0\x80\xAF\"", "invalid UTF-8 at byte 1"},      // overlong '/'
        {"\"\xF0\x80\x80\xAF\"", "invalid UTF-8 at byte 1"},  // overlong '/'
        {"\"\xED\xA0\x80\"", "invalid UTF-8 at byte 1"},      // U+D800
        {"\"\xF4\x90\x80\x80\"", "invalid UTF-8 at byte 1"},  // U+110000
        {"\"\xE2\x82\"", "invalid UTF-8 at byte 1"},          // cut off
        {R"({"a":1,"b":2,"a":1})", "duplicate key in the object at byte 0"},
        {R"([{"x":{}},{"x":[],"x":[]}])", "duplicate key in the object at byte 10"},
        {Nested(33), "nested too deeply"},
        {std::string(33, '[') + "]", "nested too deeply"},
        {R"({"a":)" + Nested(32) + "}", "nested too deeply"},
        {StringOfBytes(1024 * 1024 + 1), "larger than 1048576 bytes"},
        {ArrayOfValues(100001), "more than 100000 values"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(ParseJson(row.text, {}, &error)) << row.text.substr(0, 80);
        EXPECT_EQ(error, row.error) << row.text.substr(0, 80);
    }
    const JsonLimits small{8, 1, 3};
    for (const char* text : {"[[]]", "[1,2,3]", "\"1234567\""}) EXPECT_FALSE(ParseJson(text, small)) << text;
    for (const char* text : {"[]", "[1,2]", "\"123456\""}) EXPECT_TRUE(ParseJson(text, small)) << text;
}

TEST(JsonReader, TokenFields) {
    const auto token = ParseJson(R"({"access_token":"t","expires_in":"3599","n":-1.5,"s":"35s","e":"","b":true})");
    ASSERT_TRUE(token);
    const struct {
        const char* key;
        const char* text;
        std::optional<double> number;
    } rows[] = {
        {"access_token", "t", std::nullopt}, {"expires_in", "3599", 3599}, {"n", "", -1.5},
        {"s", "35s", std::nullopt},          {"e", "", std::nullopt},      {"b", "", std::nullopt},
        {"absent", "", std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(token->TextOf(row.key), row.text) << row.key;
        EXPECT_EQ(token->NumberOf(row.key), row.number) << row.key;
    }
    EXPECT_EQ(token->Find("absent"), nullptr);
    EXPECT_EQ(ParseJson(R"(["access_token"])")->Find("access_token"), nullptr);
}

}  // namespace
}  // namespace zankit::mail
