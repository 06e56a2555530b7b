#include "mail/dns/dns_message.h"

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

// A name of at most 255 bytes has at most 127 labels, so no honest name needs more jumps.
constexpr int kMaxPointerJumps = 127;
constexpr std::size_t kMaxDnsName = 255;

std::uint16_t BigEndian16(DnsMessageView message, std::size_t at) {
    return static_cast<std::uint16_t>((message[at] << 8) | message[at + 1]);
}

void AppendBigEndian16(DnsBytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

bool AppendLabel(DnsBytes& bytes, std::string_view label) {
    if (label.size() > kMaxDnsLabel) return false;
    bytes.push_back(static_cast<std::uint8_t>(label.size()));
    bytes.insert(bytes.end(), label.begin(), label.end());
    return true;
}

}  // namespace

std::optional<DnsBytes> EncodeQName(std::string_view domain) {
    DnsBytes encoded;
    std::size_t labelStart = 0;
    for (std::size_t i = 0; i <= domain.size(); ++i) {
        if (i == domain.size() || domain[i] == '.') {
            if (!AppendLabel(encoded, domain.substr(labelStart, i - labelStart))) return std::nullopt;
            labelStart = i + 1;
        }
    }
    return encoded;
}

std::optional<DnsBytes> BuildMXQuery(std::string_view domain) {
    const auto name = EncodeQName(domain);
    if (!name) return std::nullopt;
    DnsBytes query;
    AppendBigEndian16(query, kMxQueryIdentifier);
    query.push_back(0x01);  // recursion desired, standard query
    query.push_back(0x00);
    AppendBigEndian16(query, 1);  // one question
    AppendBigEndian16(query, 0);
    AppendBigEndian16(query, 0);
    AppendBigEndian16(query, 0);
    query.insert(query.end(), name->begin(), name->end());
    query.push_back(0x00);
    AppendBigEndian16(query, kDnsTypeMX);
    AppendBigEndian16(query, kDnsClassIN);
    return query;
}

std::optional<std::string> ReadDnsName(DnsMessageView message, std::size_t& position) {
    std::string name;
    std::size_t cursor = position;
    std::optional<std::size_t> end;  // where the name ends at its starting point
    std::size_t nameBytes = 1;       // the closing zero byte
    int jumps = 0;
    for (;;) {
        if (cursor >= message.size()) return std::nullopt;
        const std::uint8_t length = message[cursor];
        if (length == 0) {
            if (!end) end = cursor + 1;
            break;
        }
        if ((length & 0xC0) == 0xC0) {
            if (cursor + 1 >= message.size()) return std::nullopt;
            const std::size_t target = (static_cast<std::size_t>(length & 0x3F) << 8) | message[cursor + 1];
            if (!end) end = cursor + 2;
            if (++jumps > kMaxPointerJumps || target >= message.size()) return std::nullopt;
            cursor = target;
            continue;
        }
        if ((length & 0xC0) != 0) return std::nullopt;  // reserved label types
        if (message.size() - cursor - 1 < length) return std::nullopt;
        nameBytes += 1 + static_cast<std::size_t>(length);
        if (nameBytes > kMaxDnsName) return std::nullopt;
        if (!name.empty()) name.push_back('.');
        name.append(reinterpret_cast<const char*>(message.data() + cursor + 1), length);
        cursor += 1 + static_cast<std::size_t>(length);
    }
    position = *end;
    return name;
}

bool IsReplyTo(DnsMessageView reply, DnsMessageView query) {
    if (reply.size() < kDnsHeaderSize || query.size() < kDnsHeaderSize) return false;
    const bool response = (reply[2] & 0x80) != 0;
    return response && BigEndian16(reply, 0) == BigEndian16(query, 0);
}

std::optional<std::uint16_t> ReplyAnswerCount(DnsMessageView reply) {
    if (reply.size() < kDnsHeaderSize) return std::nullopt;
    return BigEndian16(reply, 6);
}

std::string ParseMXAnswers(DnsMessageView reply) {
    std::string best;
    std::optional<std::uint16_t> bestPreference;
    if (reply.size() < kDnsHeaderSize) return best;
    const std::uint16_t questions = BigEndian16(reply, 4);
    const std::uint16_t answers = BigEndian16(reply, 6);
    std::size_t position = kDnsHeaderSize;

    for (std::uint16_t i = 0; i < questions; ++i) {
        if (!ReadDnsName(reply, position)) return best;
        if (reply.size() - position < 4) return best;  // type and class
        position += 4;
    }

    for (std::uint16_t i = 0; i < answers; ++i) {
        if (!ReadDnsName(reply, position)) break;  // owner name
        if (reply.size() - position < 10) break;   // type, class, time to live, data length
        const std::uint16_t type = BigEndian16(reply, position);
        const std::size_t dataLength = BigEndian16(reply, position + 8);
        position += 10;
        if (reply.size() - position < dataLength) break;
        const std::size_t dataEnd = position + dataLength;
        if (type == kDnsTypeMX && dataLength >= 3) {
            const std::uint16_t preference = BigEndian16(reply, position);
            std::size_t namePosition = position + 2;
            const auto exchanger = ReadDnsName(reply, namePosition);
            if (!exchanger || namePosition > dataEnd) break;
            if (!TrimSpaces(*exchanger).empty() && (!bestPreference || preference < *bestPreference)) {
                best = *exchanger;
                bestPreference = preference;
            }
        }
        position = dataEnd;
    }
    return best;
}

}  // namespace zankit::mail
