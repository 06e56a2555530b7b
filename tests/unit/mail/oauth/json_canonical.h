// The canonical text of a value the JSON reader gave: no whitespace, members in their order,
// numbers in their shortest exact form, in strings only '"', '\' and bytes below 0x20 escaped.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>

#include "mail/oauth/json_reader.h"

inline std::string CanonicalString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        char escape[8];
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            out.append(escape, std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c)));
        } else {
            out += c;
        }
    }
    return out + '"';
}

inline std::string CanonicalJson(const zankit::mail::JsonValue& value) {
    using zankit::mail::JsonKind;
    char number[32];
    if (value.kind == JsonKind::Null) return "null";
    if (value.kind == JsonKind::Boolean) return value.boolean ? "true" : "false";
    if (value.kind == JsonKind::String) return CanonicalString(value.text);
    if (value.kind == JsonKind::Number) return {number, std::to_chars(number, number + 32, value.number).ptr};
    const bool isArray = value.kind == JsonKind::Array;
    std::string out(1, isArray ? '[' : '{');
    for (const auto& item : value.items) out += CanonicalJson(item) + ',';
    for (const auto& [key, member] : value.members) out += CanonicalString(key) + ':' + CanonicalJson(member) + ',';
    if (out.size() > 1) out.pop_back();  // the last comma
    return out + (isArray ? ']' : '}');
}
