// Helpers of the MX query tests: DNS replies built by hand and a scripted DNS system.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/dns_message.h"
#include "mail/dns_seam.h"

namespace zankit::mail::testing {

// A name in wire form with its closing zero byte.
inline DnsBytes WireName(std::string_view domain) {
    DnsBytes name = *EncodeQName(domain);
    name.push_back(0);
    return name;
}

// A compression pointer to offset.
inline DnsBytes Pointer(std::size_t offset) {
    return {static_cast<std::uint8_t>(0xC0 | (offset >> 8)), static_cast<std::uint8_t>(offset & 0xFF)};
}

inline DnsBytes Join(std::initializer_list<DnsBytes> parts) {
    DnsBytes joined;
    for (const DnsBytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// The data of an MX record.
inline DnsBytes MXData(std::uint16_t preference, const DnsBytes& exchanger) {
    return Join(
        {{static_cast<std::uint8_t>(preference >> 8), static_cast<std::uint8_t>(preference & 0xFF)}, exchanger});
}

// A reply to the MX question for domain; the question name starts at offset 12.
class ReplyBuilder {
public:
    explicit ReplyBuilder(std::string_view domain) : bytes_(*BuildMXQuery(domain)) {
        bytes_[2] = 0x81;  // response, recursion desired
        bytes_[3] = 0x80;  // recursion available
    }

    // Appends one record (class IN, one hour to live); the answer count follows.
    ReplyBuilder& Record(const DnsBytes& owner, std::uint16_t type, const DnsBytes& data) {
        const auto size = static_cast<std::uint16_t>(data.size());
        bytes_ = Join({bytes_,
                       owner,
                       {static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type), 0, 1},
                       {0, 0, 0x0E, 0x10, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)},
                       data});
        ++bytes_[7];
        return *this;
    }

    // An MX record as name servers compress it: the owner points at the question, the
    // exchanger is one label followed by a pointer to the question.
    ReplyBuilder& CompressedMX(std::uint16_t preference, std::string_view label) {
        DnsBytes name{static_cast<std::uint8_t>(label.size())};
        name.insert(name.end(), label.begin(), label.end());
        return Record(Pointer(12), kDnsTypeMX, MXData(preference, Join({name, Pointer(12)})));
    }

    std::size_t Size() const { return bytes_.size(); }
    const DnsBytes& Bytes() const { return bytes_; }

private:
    DnsBytes bytes_;
};

// A DNS system whose answers the test sets; it records what was asked.
class ScriptedDnsSystem : public DnsSystem {
public:
    using Exchange = std::function<DatagramResult(const std::string& domain)>;

    DnsHostConfig DiscoverDnsConfig() override {
        ++discoveries;
        return config;
    }
    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override {
        const auto found = names.find(hostName);
        if (found == names.end()) return std::nullopt;
        return found->second;
    }
    std::string HostNameOf(const IPv4Bytes& address) override {
        reverseAsked.push_back(address);
        const auto found = reverseNames.find(address);
        return found == reverseNames.end() ? std::string() : found->second;
    }
    // Records "a.b.c.d:port domain"; a reply the filter refuses ends as the platform's wait
    // would, without an answer.
    DatagramResult ExchangeDatagram(const IPv4Bytes& server, std::uint16_t port, const std::vector<std::uint8_t>& query,
                                    unsigned, std::size_t, const DatagramFilter& accepts) override {
        std::size_t position = kDnsHeaderSize;
        const std::string domain = ReadDnsName(query, position).value_or("<unreadable>");
        std::string address = std::to_string(server[0]);
        for (std::size_t i = 1; i < server.size(); ++i) address += "." + std::to_string(server[i]);
        asked.push_back(address + ":" + std::to_string(port) + " " + domain);
        DatagramResult result = exchange ? exchange(domain) : DatagramResult{DatagramOutcome::ReceiveFailed, {}};
        if (result.outcome == DatagramOutcome::Answered && !accepts(result.reply)) {
            result = {DatagramOutcome::ReceiveFailed, {}};
        }
        return result;
    }

    DnsHostConfig config;
    std::map<std::string, IPv4Bytes> names;
    std::map<IPv4Bytes, std::string> reverseNames;
    Exchange exchange;

    int discoveries = 0;
    std::vector<IPv4Bytes> reverseAsked;
    std::vector<std::string> asked;
};

}  // namespace zankit::mail::testing
