// A strict, bounded JSON reader (RFC 8259) for the answers of OAuth endpoints: the text must be
// one JSON value in valid UTF-8, with nothing but whitespace around it; anything else, a key
// given twice in one object or a text over the limits is refused with a short reason.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zankit::mail {

enum class JsonKind { Null, Boolean, Number, String, Array, Object };

struct JsonValue {
    JsonKind kind = JsonKind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;                                        // a string's value, UTF-8
    std::vector<JsonValue> items;                            // an array's elements
    std::vector<std::pair<std::string, JsonValue>> members;  // an object's members in order

    JsonValue() = default;
    JsonValue(const JsonValue&) = default;
    JsonValue(JsonValue&&) noexcept = default;
    JsonValue& operator=(const JsonValue&) = default;
    JsonValue& operator=(JsonValue&&) noexcept = default;
    // Defined with the reader: a destructor defined here would need the member pair complete while
    // the pair still asks whether a JsonValue can be destroyed (clang refuses that circle).
    ~JsonValue();

    // The member named key of an object; nullptr when absent or when this is no object.
    const JsonValue* Find(std::string_view key) const;
    // The member's string value, or "" when absent or not a string.
    std::string TextOf(std::string_view key) const;
    // The member's number, or nothing when absent or not a number. A string of decimal digits
    // only also counts, as some servers send "expires_in": "3599".
    std::optional<double> NumberOf(std::string_view key) const;
};

struct JsonLimits {
    std::size_t maxBytes = 1024 * 1024;  // whole text
    std::size_t maxDepth = 32;           // nesting of arrays and objects; each level is one call deeper
    std::size_t maxValues = 100000;      // values in the whole document, members' values included
};

// The document's value, or nothing with *error (when given) set to a short English reason such
// as "unexpected character at byte 17" (bytes counted from 0), "nested too deeply" or "larger
// than 1048576 bytes". Numbers are read without regard to the locale; one too large or too
// small for a double is refused.
std::optional<JsonValue> ParseJson(std::string_view text, const JsonLimits& limits = {}, std::string* error = nullptr);

}  // namespace zankit::mail
