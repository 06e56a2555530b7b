#include "mail/punycode.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

constexpr std::uint32_t kBase = 36;
constexpr std::uint32_t kTMin = 1;
constexpr std::uint32_t kTMax = 26;
constexpr std::uint32_t kSkew = 38;
constexpr std::uint32_t kDamp = 700;
constexpr std::uint32_t kInitialBias = 72;
constexpr std::uint32_t kInitialN = 128;
constexpr std::uint32_t kMaxValue = std::numeric_limits<std::uint32_t>::max();

// The code points of a UTF-8 text; nothing when a byte starts no complete character.
std::optional<std::vector<std::uint32_t>> CodePoints(std::string_view utf8) {
    std::vector<std::uint32_t> points;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = Utf8CharacterLength(utf8, at);
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (length == 1 && lead >= 0x80) return std::nullopt;
        std::uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            point = (point << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
        points.push_back(point);
        at += length;
    }
    return points;
}

char Digit(std::uint32_t value) { return static_cast<char>(value < 26 ? 'a' + value : '0' + (value - 26)); }

std::uint32_t Threshold(std::uint32_t k, std::uint32_t bias) {
    if (k <= bias) return kTMin;
    if (k >= bias + kTMax) return kTMax;
    return k - bias;
}

std::uint32_t AdaptBias(std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
        delta /= kBase - kTMin;
        k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

}  // namespace

std::optional<std::string> PunycodeEncode(std::string_view utf8Label) {
    const auto input = CodePoints(utf8Label);
    if (!input) return std::nullopt;
    std::string output;
    for (std::uint32_t point : *input) {
        if (point < 0x80) output.push_back(static_cast<char>(point));
    }
    const auto basic = static_cast<std::uint32_t>(output.size());
    if (basic > 0) output.push_back('-');

    std::uint32_t n = kInitialN;
    std::uint32_t delta = 0;
    std::uint32_t bias = kInitialBias;
    for (std::uint32_t handled = basic; handled < input->size();) {
        std::uint32_t next = kMaxValue;
        for (std::uint32_t point : *input) {
            if (point >= n && point < next) next = point;
        }
        if (next - n > (kMaxValue - delta) / (handled + 1)) return std::nullopt;
        delta += (next - n) * (handled + 1);
        n = next;
        for (std::uint32_t point : *input) {
            if (point < n && ++delta == 0) return std::nullopt;
            if (point != n) continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = kBase;; k += kBase) {
                const std::uint32_t t = Threshold(k, bias);
                if (q < t) break;
                output.push_back(Digit(t + (q - t) % (kBase - t)));
                q = (q - t) / (kBase - t);
            }
            output.push_back(Digit(q));
            bias = AdaptBias(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return output;
}

}  // namespace zankit::mail
