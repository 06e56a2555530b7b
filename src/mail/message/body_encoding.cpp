#include "mail/message/body_encoding.h"

#include "mail/message/encodings.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

constexpr std::size_t kLongestQuotedLine = 76;
// 8bit text must keep its lines within 998 bytes; the wire filter would break a longer one
// anywhere, inside a character too.
constexpr std::size_t kLongestEightBitLine = 998;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

bool HasLineLongerThan(std::string_view text, std::size_t longest) {
    std::size_t length = 0;
    for (char c : text) {
        length = IsLineEnd(c) ? 0 : length + 1;
        if (length > longest) return true;
    }
    return false;
}

// The text with CR LF after every line, as base64 carries text.
std::string CanonicalLineEnds(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsLineEnd(text[i])) {
            result.push_back(text[i]);
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        result.append("\r\n");
    }
    return result;
}

std::string Base64Text(std::string_view text) {
    std::string encoded = Base64EncodeBytes(CanonicalLineEnds(text));
    if (encoded.size() >= 2) encoded.resize(encoded.size() - 2);
    return encoded;
}

}  // namespace

BodyForm ChooseBodyForm(std::string_view text, bool eightBitAccepted) {
    if (!HasNonAscii(text)) {
        return {"iso-8859-1", HasByteAbove126(text) ? BodyTransfer::EightBit : BodyTransfer::SevenBit};
    }
    if (eightBitAccepted && !HasLineLongerThan(text, kLongestEightBitLine)) return {"utf-8", BodyTransfer::EightBit};
    const bool base64Shorter = Base64Text(text).size() < QuotedPrintable(text).size();
    return {"utf-8", base64Shorter ? BodyTransfer::Base64 : BodyTransfer::QuotedPrintable};
}

std::string_view TransferName(BodyTransfer transfer) {
    switch (transfer) {
        case BodyTransfer::EightBit:
            return "8bit";
        case BodyTransfer::QuotedPrintable:
            return "quoted-printable";
        case BodyTransfer::Base64:
            return "base64";
        default:
            return "7bit";
    }
}

std::string EncodeBody(std::string_view text, BodyTransfer transfer) {
    if (transfer == BodyTransfer::QuotedPrintable) return QuotedPrintable(text);
    if (transfer == BodyTransfer::Base64) return Base64Text(text);
    return std::string(text);
}

std::string QuotedPrintable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t lineLength = 0;
    const auto put = [&](std::string_view piece) {
        // Room is left for the "=" of a soft line break.
        if (lineLength + piece.size() > kLongestQuotedLine - 1) {
            out.append("=\r\n");
            lineLength = 0;
        }
        out.append(piece);
        lineLength += piece.size();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsLineEnd(c)) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out.append("\r\n");
            lineLength = 0;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        const bool endsLine = i + 1 == text.size() || IsLineEnd(text[i + 1]);
        const bool blank = c == ' ' || c == '\t';
        const bool literal = (byte >= 33 && byte <= 126 && c != '=') || (blank && !endsLine);
        if (literal) {
            put(std::string_view(&c, 1));
        } else {
            const char escaped[3] = {'=', kHex[byte >> 4], kHex[byte & 15]};
            put(std::string_view(escaped, 3));
        }
    }
    return out;
}

}  // namespace zankit::mail
