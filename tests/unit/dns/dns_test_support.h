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

// A reply to the MX question for domain; the question name starts at offset 12.
class ReplyBuilder {
public:
    explicit ReplyBuilder(std::string_view domain) {
        bytes_ = *BuildMXQuery(domain);
        bytes_[2] = 0x81;  // response, recursion desired
        bytes_[3] = 0x80;  // recursion available
    }

    // Appends one record; the answer count follows the records added.
    ReplyBuilder& Record(const DnsBytes& owner, std::uint16_t type, const DnsBytes& data) {
        Append(owner);
        Append16(type);
        Append16(1);  // class IN
        Append(DnsBytes{0, 0, 0x0E, 0x10});
        Append16(static_cast<std::uint16_t>(data.size()));
        Append(data);
        ++answers_;
        bytes_[6] = static_cast<std::uint8_t>(answers_ >> 8);
        bytes_[7] = static_cast<std::uint8_t>(answers_ & 0xFF);
        return *this;
    }

    // An MX record as name servers compress it: the owner points at the question, the
    // exchanger is one label followed by a pointer to the question.
    ReplyBuilder& CompressedMX(std::uint16_t preference, std::string_view firstLabel) {
        DnsBytes data{static_cast<std::uint8_t>(preference >> 8), static_cast<std::uint8_t>(preference & 0xFF)};
        data.push_back(static_cast<std::uint8_t>(firstLabel.size()));
        data.insert(data.end(), firstLabel.begin(), firstLabel.end());
        const DnsBytes pointer = Pointer(12);
        data.insert(data.end(), pointer.begin(), pointer.end());
        return Record(Pointer(12), kDnsTypeMX, data);
    }

    static DnsBytes MXData(std::uint16_t preference, const DnsBytes& exchanger) {
        DnsBytes data{static_cast<std::uint8_t>(preference >> 8), static_cast<std::uint8_t>(preference & 0xFF)};
        data.insert(data.end(), exchanger.begin(), exchanger.end());
        return data;
    }

    std::size_t Size() const { return bytes_.size(); }
    const DnsBytes& Bytes() const { return bytes_; }

private:
    void Append(const DnsBytes& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
    void Append16(std::uint16_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
        bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }

    DnsBytes bytes_;
    std::uint16_t answers_ = 0;
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
    DatagramResult ExchangeDatagram(const IPv4Bytes& server, std::uint16_t port, const std::vector<std::uint8_t>& query,
                                    unsigned timeoutMs, std::size_t) override {
        servers.push_back(server);
        ports.push_back(port);
        timeouts.push_back(timeoutMs);
        std::size_t position = kDnsHeaderSize;
        const std::string domain = ReadDnsName(query, position).value_or("<unreadable>");
        queried.push_back(domain);
        if (exchange) return exchange(domain);
        return {DatagramOutcome::ReceiveFailed, {}};
    }

    DnsHostConfig config;
    std::map<std::string, IPv4Bytes> names;
    std::map<IPv4Bytes, std::string> reverseNames;
    Exchange exchange;

    int discoveries = 0;
    std::vector<IPv4Bytes> reverseAsked;
    std::vector<IPv4Bytes> servers;
    std::vector<std::uint16_t> ports;
    std::vector<unsigned> timeouts;
    std::vector<std::string> queried;
};

// An answer without records (the name exists, but has no MX records, or does not exist).
inline DatagramResult EmptyAnswer(const std::string& domain) {
    return {DatagramOutcome::Answered, ReplyBuilder(domain).Bytes()};
}

}  // namespace zankit::mail::testing
