#include "mail/message/encodings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zankit::mail {
namespace {

constexpr std::size_t kBytesPerLine = 57;  // 19 groups of three bytes
constexpr std::size_t kCharsPerLine = 76;

// All pairs of base64 characters, indexed by a 12-bit value: two output characters per lookup.
struct PairTable {
    std::array<char, 2 * 4096> chars{};
    constexpr PairTable() {
        for (std::size_t v = 0; v < 4096; ++v) {
            chars[2 * v] = kBase64Alphabet[v >> 6];
            chars[2 * v + 1] = kBase64Alphabet[v & 63];
        }
    }
};
constexpr PairTable kPairs;

constexpr std::uint8_t kInvalid = 0xFF;
constexpr std::uint8_t kPad = 64;

struct DecodeTable {
    std::array<std::uint8_t, 256> values{};
    constexpr DecodeTable() {
        for (auto& v : values) v = kInvalid;
        for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
            values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::uint8_t>(i);
        }
    }
};
constexpr DecodeTable kDecode;

inline void PutGroup(char* out, std::uint32_t v) {
    std::memcpy(out, &kPairs.chars[2 * (v >> 12)], 2);
    std::memcpy(out + 2, &kPairs.chars[2 * (v & 0xFFF)], 2);
}

inline std::uint32_t GroupValue(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[2]};
}

char UUChar(unsigned value) { return value == 0 ? '`' : static_cast<char>(32 + value); }

}  // namespace

std::string Base64EncodeBytes(const unsigned char* data, std::size_t size) {
    if (size == 0) return {};
    const std::size_t fullLines = size / kBytesPerLine;
    const std::size_t tailBytes = size % kBytesPerLine;
    const std::size_t tailChars = (tailBytes + 2) / 3 * 4;
    const std::size_t total = fullLines * (kCharsPerLine + 2) + (tailBytes > 0 ? tailChars + 2 : 0);

    std::string result(total, '\0');
    char* out = result.data();
    const unsigned char* in = data;
    for (std::size_t line = 0; line < fullLines; ++line) {
        for (int group = 0; group < 19; ++group) {
            PutGroup(out, GroupValue(in));
            in += 3;
            out += 4;
        }
        out[0] = '\r';
        out[1] = '\n';
        out += 2;
    }
    if (tailBytes > 0) {
        const std::size_t fullGroups = tailBytes / 3;
        for (std::size_t group = 0; group < fullGroups; ++group) {
            PutGroup(out, GroupValue(in));
            in += 3;
            out += 4;
        }
        const std::size_t left = tailBytes % 3;
        if (left > 0) {
            unsigned char last[3] = {in[0], left == 2 ? in[1] : static_cast<unsigned char>(0), 0};
            PutGroup(out, GroupValue(last));
            out[3] = '=';
            if (left == 1) out[2] = '=';
            out += 4;
        }
        out[0] = '\r';
        out[1] = '\n';
    }
    return result;
}

std::string Base64EncodeBytes(std::string_view bytes) {
    return Base64EncodeBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string Base64EncodeString(std::string_view text) { return Base64EncodeBytes(text); }

std::string Base64OneLine(std::string_view bytes) {
    std::string encoded = Base64EncodeBytes(bytes);
    encoded.erase(std::remove_if(encoded.begin(), encoded.end(), [](char c) { return c == '\r' || c == '\n'; }),
                  encoded.end());
    return encoded;
}

std::string DecodeBase64String(std::string_view encoded) {
    const auto* in = reinterpret_cast<const unsigned char*>(encoded.data());
    const std::size_t size = encoded.size();
    std::string result(size / 4 * 3 + 3, '\0');
    char* out = result.data();
    std::size_t pos = 0;

    while (pos < size) {
        // Fast path: four characters of the alphabet proper.
        if (size - pos >= 4) {
            const std::uint32_t a = kDecode.values[in[pos]];
            const std::uint32_t b = kDecode.values[in[pos + 1]];
            const std::uint32_t c = kDecode.values[in[pos + 2]];
            const std::uint32_t d = kDecode.values[in[pos + 3]];
            if ((a | b | c | d) < 64) {
                const std::uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
                out[0] = static_cast<char>(v >> 16);
                out[1] = static_cast<char>((v >> 8) & 0xFF);
                out[2] = static_cast<char>(v & 0xFF);
                out += 3;
                pos += 4;
                continue;
            }
        }
        // A group with padding, a foreign character or the end of the text inside it.
        std::uint32_t quad[4] = {0, 0, 0, 0};
        std::size_t count = 4;
        for (std::size_t j = 0; j < 4; ++j) {
            if (pos + j >= size) {
                count = j;
                break;
            }
            const std::uint8_t v = kDecode.values[in[pos + j]];
            if (v == kInvalid) {
                result.resize(static_cast<std::size_t>(out - result.data()));
                return result;
            }
            if (v == kPad) {
                count = j;
                break;
            }
            quad[j] = v;
        }
        const std::uint32_t value = (quad[0] << 18) | (quad[1] << 12) | (quad[2] << 6) | quad[3];
        const char bytes[3] = {static_cast<char>(value >> 16), static_cast<char>((value >> 8) & 0xFF),
                               static_cast<char>(value & 0xFF)};
        for (std::size_t k = 0; k + 1 < count; ++k) *out++ = bytes[k];
        pos += 4;
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

std::string UUEncodeLine(std::string_view text) {
    if (text.size() > 63) return {};
    std::string result;
    result.reserve(1 + (text.size() + 2) / 3 * 4 + 2);
    result.push_back(UUChar(static_cast<unsigned>(text.size())));
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t lastGroup = 3;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, text.size() - i);
        const unsigned b0 = in[i];
        const unsigned b1 = n > 1 ? in[i + 1] : 0;
        const unsigned b2 = n > 2 ? in[i + 2] : 0;
        const unsigned values[4] = {b0 >> 2, ((b0 & 3) << 4) | (b1 >> 4), ((b1 & 15) << 2) | (b2 >> 6), b2 & 63};
        for (std::size_t k = 0; k < (n == 3 ? 4 : n + 1); ++k) result.push_back(UUChar(values[k]));
        lastGroup = n;
    }
    if (lastGroup == 1) result.append("==");
    if (lastGroup == 2) result.append("=");
    return result;
}

std::string TimeZoneText(long biasMinutes) {
    const long magnitude = std::labs(biasMinutes);
    const long hours = magnitude / 60;
    const long minutes = magnitude % 60;
    std::string result(1, biasMinutes > 0 ? '-' : '+');
    if (hours < 10) result.push_back('0');
    result.append(std::to_string(hours));
    if (minutes < 10) result.push_back('0');
    result.append(std::to_string(minutes));
    return result;
}

std::string FormatMailDate(const LocalDateTime& when, std::string_view timeZoneText) {
    static constexpr std::array<std::string_view, 8> kDayNames = {"", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<std::string_view, 13> kMonthNames = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    auto twoDigits = [](int value) {
        std::string text = std::to_string(value);
        return value < 10 ? "0" + text : text;
    };
    auto pick = [](const auto& names, int index) {
        return (index >= 0 && static_cast<std::size_t>(index) < names.size())
                   ? std::string(names[static_cast<std::size_t>(index)])
                   : std::string();
    };
    std::string year = std::to_string(when.year);
    while (year.size() < 4) year.insert(year.begin(), '0');
    return pick(kDayNames, when.weekday) + ", " + std::to_string(when.day) + " " + pick(kMonthNames, when.month) + " " +
           year + " " + twoDigits(when.hour) + ":" + twoDigits(when.minute) + ":" + twoDigits(when.second) + " " +
           std::string(timeZoneText);
}

}  // namespace zankit::mail
