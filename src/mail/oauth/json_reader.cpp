#include "mail/oauth/json_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>

namespace zankit::mail {
namespace {

bool IsJsonWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The length of the well-formed UTF-8 sequence of a character above U+007F that starts at
// text[at], or 0 for a stray byte, an overlong form, an encoded surrogate, a value above
// U+10FFFF or a sequence cut off by the end of the text.
std::size_t WellFormedUtf8Length(std::string_view text, std::size_t at) {
    const auto byteAt = [&](std::size_t offset) { return static_cast<unsigned char>(text[at + offset]); };
    const unsigned char lead = byteAt(0);
    std::size_t length = 0;
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondLow = 0xA0;   // below: overlong
        if (lead == 0xED) secondHigh = 0x9F;  // above: U+D800 to U+DFFF
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondLow = 0x90;   // below: overlong
        if (lead == 0xF4) secondHigh = 0x8F;  // above: beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byteAt(1) < secondLow || byteAt(1) > secondHigh) return 0;
    for (std::size_t offset = 2; offset < length; ++offset) {
        if ((byteAt(offset) & 0xC0) != 0x80) return 0;
    }
    return length;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool HasDuplicateKey(const std::vector<std::pair<std::string, JsonValue>>& members) {
    std::vector<std::string_view> keys;
    keys.reserve(members.size());
    for (const auto& member : members) keys.push_back(member.first);
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

// A recursive descent over the text; every failure records its reason and makes each caller
// return false at once.
class JsonParser {
public:
    JsonParser(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

    std::optional<JsonValue> ParseDocument() {
        if (text_.size() > limits_.maxBytes) {
            Fail("larger than " + std::to_string(limits_.maxBytes) + " bytes");
            return std::nullopt;
        }
        JsonValue value;
        SkipWhitespace();
        if (!ParseValue(value, 0)) return std::nullopt;
        SkipWhitespace();
        if (!AtEnd()) {
            Unexpected();
            return std::nullopt;
        }
        return value;
    }

    const std::string& Error() const { return error_; }

private:
    // depth: the number of arrays and objects around the value.
    bool ParseValue(JsonValue& value, std::size_t depth) {
        if (++values_ > limits_.maxValues) return Fail("more than " + std::to_string(limits_.maxValues) + " values");
        if (AtEnd()) return Unexpected();
        switch (text_[at_]) {
            case '{':
                return ParseObject(value, depth + 1);
            case '[':
                return ParseArray(value, depth + 1);
            case '"':
                value.kind = JsonKind::String;
                return ParseString(value.text);
            case 't':
                value.kind = JsonKind::Boolean;
                value.boolean = true;
                return ParseWord("true");
            case 'f':
                value.kind = JsonKind::Boolean;
                return ParseWord("false");
            case 'n':
                return ParseWord("null");
            default:
                value.kind = JsonKind::Number;
                return ParseNumber(value.number);
        }
    }

    bool ParseArray(JsonValue& array, std::size_t depth) {
        if (depth > limits_.maxDepth) return Fail("nested too deeply");
        array.kind = JsonKind::Array;
        ++at_;
        SkipWhitespace();
        if (Take(']')) return true;
        for (;;) {
            SkipWhitespace();
            array.items.emplace_back();
            if (!ParseValue(array.items.back(), depth)) return false;
            SkipWhitespace();
            if (Take(',')) continue;
            if (Take(']')) return true;
            return Unexpected();
        }
    }

    bool ParseObject(JsonValue& object, std::size_t depth) {
        if (depth > limits_.maxDepth) return Fail("nested too deeply");
        object.kind = JsonKind::Object;
        const std::size_t start = at_;
        ++at_;
        SkipWhitespace();
        if (Take('}')) return true;
        for (;;) {
            SkipWhitespace();
            if (AtEnd() || text_[at_] != '"') return Unexpected();
            std::string key;
            if (!ParseString(key)) return false;
            SkipWhitespace();
            if (!Take(':')) return Unexpected();
            SkipWhitespace();
            object.members.emplace_back(std::move(key), JsonValue{});
            if (!ParseValue(object.members.back().second, depth)) return false;
            SkipWhitespace();
            if (Take(',')) continue;
            if (!Take('}')) return Unexpected();
            if (HasDuplicateKey(object.members)) return FailAt("duplicate key in the object", start);
            return true;
        }
    }

    bool ParseString(std::string& out) {
        ++at_;
        for (;;) {
            if (AtEnd()) return Unexpected();
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return FailAt("control character in a string", at_);
            if (c == '\\') {
                if (!ParseEscape(out)) return false;
            } else if (c < 0x80) {
                out.push_back(static_cast<char>(c));
                ++at_;
            } else {
                const std::size_t length = WellFormedUtf8Length(text_, at_);
                if (length == 0) return FailAt("invalid UTF-8", at_);
                out.append(text_.substr(at_, length));
                at_ += length;
            }
        }
    }

    bool ParseEscape(std::string& out) {
        const std::size_t start = at_;
        ++at_;
        if (AtEnd()) return Unexpected();
        const char letter = text_[at_++];
        switch (letter) {
            case '"':
            case '\\':
            case '/':
                out.push_back(letter);
                return true;
            case 'b':
                out.push_back('\b');
                return true;
            case 'f':
                out.push_back('\f');
                return true;
            case 'n':
                out.push_back('\n');
                return true;
            case 'r':
                out.push_back('\r');
                return true;
            case 't':
                out.push_back('\t');
                return true;
            case 'u':
                break;
            default:
                return FailAt("invalid escape", start);
        }
        std::uint32_t code = 0;
        if (!ReadHexQuad(code)) return FailAt("invalid escape", start);
        if (code >= 0xDC00 && code <= 0xDFFF) return FailAt("lone surrogate", start);
        if (code >= 0xD800 && code <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text_.substr(at_, 2) != "\\u") return FailAt("lone surrogate", start);
            at_ += 2;
            if (!ReadHexQuad(low)) return FailAt("invalid escape", at_ - 2);
            if (low < 0xDC00 || low > 0xDFFF) return FailAt("lone surrogate", start);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
        return true;
    }

    bool ReadHexQuad(std::uint32_t& code) {
        if (text_.size() - at_ < 4) return false;
        for (std::size_t i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(text_[at_ + i]);
            if (digit < 0) return false;
            code = (code << 4) | static_cast<std::uint32_t>(digit);
        }
        at_ += 4;
        return true;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool ParseNumber(double& number) {
        const std::size_t start = at_;
        Take('-');
        if (!Take('0')) {
            if (AtEnd() || !IsDigit(text_[at_])) return Unexpected();
            SkipDigits();
        }
        if (Take('.')) {
            if (AtEnd() || !IsDigit(text_[at_])) return Unexpected();
            SkipDigits();
        }
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (AtEnd() || !IsDigit(text_[at_])) return Unexpected();
            SkipDigits();
        }
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        const auto [end, status] = std::from_chars(first, last, number);
        if (status != std::errc() || end != last) return FailAt("number out of range", start);
        return true;
    }

    bool ParseWord(std::string_view word) {
        for (const char expected : word) {
            if (!Take(expected)) return Unexpected();
        }
        return true;
    }

    bool AtEnd() const { return at_ >= text_.size(); }

    bool Take(char expected) {
        if (AtEnd() || text_[at_] != expected) return false;
        ++at_;
        return true;
    }

    void SkipWhitespace() {
        while (!AtEnd() && IsJsonWhitespace(text_[at_])) ++at_;
    }

    void SkipDigits() {
        while (!AtEnd() && IsDigit(text_[at_])) ++at_;
    }

    bool Unexpected() {
        if (AtEnd()) return Fail("unexpected end of text");
        return FailAt("unexpected character", at_);
    }

    bool FailAt(std::string_view what, std::size_t offset) {
        return Fail(std::string(what) + " at byte " + std::to_string(offset));
    }

    bool Fail(std::string reason) {
        error_ = std::move(reason);
        return false;
    }

    std::string_view text_;
    const JsonLimits& limits_;
    std::size_t at_ = 0;
    std::size_t values_ = 0;
    std::string error_;
};

bool IsDecimalDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit); }

}  // namespace

JsonValue::~JsonValue() = default;

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (kind != JsonKind::Object) return nullptr;
    for (const auto& member : members) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

std::string JsonValue::TextOf(std::string_view key) const {
    const JsonValue* member = Find(key);
    return member && member->kind == JsonKind::String ? member->text : std::string();
}

std::optional<double> JsonValue::NumberOf(std::string_view key) const {
    const JsonValue* member = Find(key);
    if (!member) return std::nullopt;
    if (member->kind == JsonKind::Number) return member->number;
    if (member->kind != JsonKind::String || !IsDecimalDigits(member->text)) return std::nullopt;
    double number = 0;
    const std::string& digits = member->text;
    const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (status != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

std::optional<JsonValue> ParseJson(std::string_view text, const JsonLimits& limits, std::string* error) {
    JsonParser parser(text, limits);
    std::optional<JsonValue> value = parser.ParseDocument();
    if (error) *error = value ? std::string() : parser.Error();
    return value;
}

}  // namespace zankit::mail
