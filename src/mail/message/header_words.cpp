#include "mail/message/header_words.h"

#include <algorithm>
#include <vector>

#include "mail/message/encodings.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

constexpr std::string_view kWordStart = "=?UTF-8?B?";
constexpr std::string_view kWordEnd = "?=";
constexpr std::size_t kShortestWordWidth = 20;  // one four-byte character

std::size_t WordLength(std::size_t bytes) { return kWordStart.size() + (bytes + 2) / 3 * 4 + kWordEnd.size(); }

std::string Word(std::string_view bytes) {
    return std::string(kWordStart) + Base64OneLine(bytes) + std::string(kWordEnd);
}

// Characters a parameter value may hold unencoded (attribute-char of RFC 2231).
bool IsAttributeChar(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// The percent-encoded form of each character, so pieces can be cut between characters.
std::vector<std::string> PercentEncodedCharacters(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::vector<std::string> characters;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8CharacterLength(text, at);
        std::string encoded;
        for (std::size_t k = 0; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[at + k]);
            if (IsAttributeChar(c)) {
                encoded.push_back(static_cast<char>(c));
            } else {
                encoded.append({'%', kHex[c >> 4], kHex[c & 15]});
            }
        }
        characters.push_back(std::move(encoded));
        at += length;
    }
    return characters;
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

}  // namespace

std::string EncodedWords(std::string_view text, std::size_t firstWidth, std::size_t otherWidth) {
    std::string words;
    std::size_t width = std::max(firstWidth, kShortestWordWidth);
    std::size_t start = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + Utf8CharacterLength(text, end);
        if (end > start && WordLength(next - start) > width) {
            words.append(Word(text.substr(start, end - start))).push_back(' ');
            start = end;
            width = std::max(otherWidth, kShortestWordWidth);
        }
        end = next;
    }
    if (end > start) words.append(Word(text.substr(start, end - start)));
    return words;
}

std::string EncodeHeaderText(std::string_view text, bool quote, std::size_t firstWidth) {
    if (HasByteAbove126(text)) return EncodedWords(text, firstWidth);
    return quote ? Quoted(text) : std::string(text);
}

bool CarriesEncodedWords(std::string_view value) { return value.find(kWordStart) != std::string_view::npos; }

std::string NameParameter(std::string_view name, std::string_view value) {
    const std::string prefix = std::string(name) + "=\"";
    if (!HasByteAbove126(value)) return prefix + std::string(value) + "\"";
    // The field's line starts with a TAB; the closing quote follows the last word.
    return prefix + EncodedWords(value, kLongestEncodedLine - 1 - prefix.size() - 1, kLongestEncodedWord - 1) + "\"";
}

std::string FileNameParameter(std::string_view value) {
    if (!HasByteAbove126(value)) return "filename=\"" + std::string(value) + "\"";
    const std::vector<std::string> characters = PercentEncodedCharacters(value);
    std::string whole;
    for (const std::string& c : characters) whole.append(c);
    const std::string single = "filename*=UTF-8''" + whole;
    if (1 + single.size() <= kLongestEncodedLine) return single;

    // Numbered pieces; each line is a TAB, the piece and its ";" (the last has none).
    std::string pieces;
    std::size_t index = 0;
    for (std::size_t next = 0; next < characters.size(); ++index) {
        const std::string head = "filename*" + std::to_string(index) + "*=" + (index == 0 ? "UTF-8''" : "");
        std::string piece = head;
        while (next < characters.size() &&
               (piece.size() == head.size() || 1 + piece.size() + characters[next].size() + 1 <= kLongestEncodedLine)) {
            piece.append(characters[next++]);
        }
        if (index > 0) pieces.append(";\r\n\t");
        pieces.append(piece);
    }
    return pieces;
}

}  // namespace zankit::mail
