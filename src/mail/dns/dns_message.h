// The DNS messages of the MX query: building the question and walking the answer.
// Texts are bytes of the ANSI code page; names are read as their bytes, labels joined by ".".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zankit::mail {

using DnsBytes = std::vector<std::uint8_t>;
using DnsMessageView = std::span<const std::uint8_t>;

// Every query carries this identifier; a reply must carry it too (IsReplyTo).
inline constexpr std::uint16_t kMxQueryIdentifier = 0x11DF;
inline constexpr std::uint16_t kDnsTypeMX = 15;
inline constexpr std::uint16_t kDnsClassIN = 1;
inline constexpr std::size_t kDnsHeaderSize = 12;
// Longest label a DNS name can carry.
inline constexpr std::size_t kMaxDnsLabel = 63;

// The labels of domain, each as one length byte followed by its characters, without the
// closing zero byte. An empty label (leading, trailing or doubled ".") is one zero byte.
// Nothing when a label is longer than 63 characters: its length cannot be written.
std::optional<DnsBytes> EncodeQName(std::string_view domain);

// The whole query: header (identifier 0x11DF, recursion desired, one question), the encoded
// name with its zero byte, type MX, class IN. Nothing when EncodeQName refuses the domain.
std::optional<DnsBytes> BuildMXQuery(std::string_view domain);

// Reads the name starting at position: labels and compression pointers (the two top bits set,
// the other 14 bits an offset anywhere in the message). On success position moves past the
// name as it lies at the starting point (past its zero byte or its first pointer) and the
// labels come back joined by "."; the root name reads as "". Nothing for a name that runs out
// of the message, points outside it, loops, uses a reserved label type or exceeds 255 bytes;
// position is then unchanged.
std::optional<std::string> ReadDnsName(DnsMessageView message, std::size_t& position);

// True when reply is a response (its QR bit set) carrying the identifier of query. A datagram
// that is not is no answer to the query, however it arrived.
bool IsReplyTo(DnsMessageView reply, DnsMessageView query);

// The answer count of a reply (bytes 6 and 7); nothing when the reply is shorter than a header.
std::optional<std::uint16_t> ReplyAnswerCount(DnsMessageView reply);

// Walks the question and answer records by their lengths and returns the exchanger of the MX
// record with the lowest preference whose name is not empty or blank; on equal preference the
// earlier record stays. Records of other types are passed over. A record that does not fit in
// the reply ends the walk with what was found before it. "" when no exchanger was found.
std::string ParseMXAnswers(DnsMessageView reply);

}  // namespace zankit::mail
