// The canonical text of a value the JSON reader gave: no whitespace, members in their order,
// numbers in their shortest exact form, in strings only '"', '\' and bytes below 0x20 escaped.
// Shared by the reader's tests and its fuzz target.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>

#include "mail/oauth/json_reader.h"

inline void AppendCanonicalJson(std::string& out, const zankit::mail::JsonValue& value);

inline void AppendCanonicalString(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

inline void AppendCanonicalJson(std::string& out, const zankit::mail::JsonValue& value) {
    using zankit::mail::JsonKind;
    char number[32];
    switch (value.kind) {
        case JsonKind::Null:
            out += "null";
            break;
        case JsonKind::Boolean:
            out += value.boolean ? "true" : "false";
            break;
        case JsonKind::Number:
            out.append(number, std::to_chars(number, number + sizeof number, value.number).ptr);
            break;
        case JsonKind::String:
            AppendCanonicalString(out, value.text);
            break;
        case JsonKind::Array:
            out += '[';
            for (const auto& item : value.items) {
                if (&item != &value.items.front()) out += ',';
                AppendCanonicalJson(out, item);
            }
            out += ']';
            break;
        case JsonKind::Object:
            out += '{';
            for (const auto& [key, member] : value.members) {
                if (&member != &value.members.front().second) out += ',';
                AppendCanonicalString(out, key);
                out += ':';
                AppendCanonicalJson(out, member);
            }
            out += '}';
            break;
    }
}

inline std::string CanonicalJson(const zankit::mail::JsonValue& value) {
    std::string text;
    AppendCanonicalJson(text, value);
    return text;
}
