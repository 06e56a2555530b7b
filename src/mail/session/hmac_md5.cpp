#include "mail/session/hmac_md5.h"

#include <cmath>

namespace zankit::mail {
namespace {

constexpr std::uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                       5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                       4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                       6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr std::size_t kBlockBytes = 64;

std::uint32_t RotateLeft(std::uint32_t value, std::uint32_t count) {
    return (value << count) | (value >> (32 - count));
}

// The round constants: the integer part of |sin(i + 1)| × 2^32.
const std::array<std::uint32_t, 64>& RoundConstants() {
    static const std::array<std::uint32_t, 64> constants = [] {
        std::array<std::uint32_t, 64> table{};
        for (std::size_t i = 0; i < table.size(); ++i) {
            table[i] =
                static_cast<std::uint32_t>(std::floor(std::fabs(std::sin(static_cast<double>(i + 1))) * 4294967296.0));
        }
        return table;
    }();
    return constants;
}

void Compress(std::array<std::uint32_t, 4>& state, const unsigned char* block) {
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i) {
        words[i] = static_cast<std::uint32_t>(block[i * 4]) | static_cast<std::uint32_t>(block[i * 4 + 1]) << 8 |
                   static_cast<std::uint32_t>(block[i * 4 + 2]) << 16 |
                   static_cast<std::uint32_t>(block[i * 4 + 3]) << 24;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (std::uint32_t i = 0; i < 64; ++i) {
        std::uint32_t mixed;
        std::uint32_t word;
        if (i < 16) {
            mixed = (b & c) | (~b & d);
            word = i;
        } else if (i < 32) {
            mixed = (d & b) | (~d & c);
            word = (5 * i + 1) % 16;
        } else if (i < 48) {
            mixed = b ^ c ^ d;
            word = (3 * i + 5) % 16;
        } else {
            mixed = c ^ (b | ~d);
            word = (7 * i) % 16;
        }
        const std::uint32_t next = d;
        d = c;
        c = b;
        b = b + RotateLeft(a + mixed + RoundConstants()[i] + words[word], kShifts[i]);
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

Md5Digest Md5(std::string_view bytes) {
    std::array<std::uint32_t, 4> state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string padded(bytes);
    padded.push_back(static_cast<char>(0x80));
    while (padded.size() % kBlockBytes != 56) padded.push_back('\0');
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i) padded.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    for (std::size_t at = 0; at < padded.size(); at += kBlockBytes) {
        Compress(state, reinterpret_cast<const unsigned char*>(padded.data() + at));
    }
    Md5Digest digest{};
    for (int i = 0; i < 16; ++i) digest[i] = static_cast<std::uint8_t>((state[i / 4] >> (8 * (i % 4))) & 0xFF);
    return digest;
}

Md5Digest HmacMd5(std::string_view key, std::string_view message) {
    std::string block(kBlockBytes, '\0');
    if (key.size() > kBlockBytes) {
        const Md5Digest shortened = Md5(key);
        std::copy(shortened.begin(), shortened.end(), block.begin());
    } else {
        std::copy(key.begin(), key.end(), block.begin());
    }
    std::string inner(block);
    std::string outer(block);
    for (std::size_t i = 0; i < kBlockBytes; ++i) {
        inner[i] = static_cast<char>(inner[i] ^ 0x36);
        outer[i] = static_cast<char>(outer[i] ^ 0x5c);
    }
    const Md5Digest innerDigest = Md5(inner.append(message));
    return Md5(outer.append(reinterpret_cast<const char*>(innerDigest.data()), innerDigest.size()));
}

std::string HexDigest(const Md5Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

}  // namespace zankit::mail
