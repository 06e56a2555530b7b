#include "mail/dns/dns_discovery.h"

#include "mail/address_validation.h"

namespace zankit::mail {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The blank-separated words of one line.
std::vector<std::string_view> WordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

}  // namespace

DnsModuleState& ThisThreadDnsState() {
    thread_local DnsModuleState state;
    return state;
}

TextList SplitServerText(std::string_view servers) {
    std::string text = ReplaceAll(servers, " ", ",");
    if (!text.empty() && text.back() == ',') text.pop_back();
    return SplitList(text, ",");
}

DnsHostConfig ParseResolvConf(std::string_view text) {
    DnsHostConfig config;
    std::string domain;
    std::string firstSearch;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        const auto words = WordsOf(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (words.size() < 2 || words[0].front() == '#' || words[0].front() == ';') continue;
        if (words[0] == "nameserver" && words[1].find(':') == std::string_view::npos) {
            config.servers.append(words[1]).append(",");
        } else if (words[0] == "domain") {
            domain = std::string(words[1]);
        } else if (words[0] == "search" && firstSearch.empty()) {
            firstSearch = std::string(words[1]);
        }
    }
    config.domain = domain.empty() ? firstSearch : domain;
    return config;
}

std::optional<IPv4Bytes> ParseDottedIPv4(std::string_view text) {
    const auto parts = SplitAt(text, '.');
    if (parts.size() != 4) return std::nullopt;
    IPv4Bytes bytes{};
    for (std::size_t i = 0; i < 4; ++i) {
        if (parts[i].empty()) return std::nullopt;
        unsigned value = 0;
        for (char c : parts[i]) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255) return std::nullopt;
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return bytes;
}

std::string ReverseLookup(DnsSystem& system, std::string_view address) {
    if (!IsIPAddress(address)) return {};
    const auto bytes = ParseDottedIPv4(address);
    if (!bytes) return {};
    std::string name = system.HostNameOf(*bytes);
    name = name.substr(0, name.find('\0'));
    return TrimSpaces(name);
}

void GetDnsInfo(DnsSystem& system, DnsModuleState& state) {
    const DnsHostConfig config = system.DiscoverDnsConfig();
    state.dnsServers = SplitServerText(config.servers);
    std::string domain = config.domain;
    state.defaultDomain = domain;
    if (domain.empty() && !state.dnsServers.empty()) {
        const std::string host = ReverseLookup(system, state.dnsServers.front());
        const auto dot = host.find('.');
        if (dot != std::string::npos) {
            state.defaultDomain = host.substr(dot + 1);
            domain = host;
        }
    }
    const auto parts = SplitAt(domain, '.');
    if (parts.size() < 2) {
        state.baseDomain = domain;
    } else {
        state.baseDomain = std::string(parts[parts.size() - 2]) + "." + std::string(parts.back());
    }
}

}  // namespace zankit::mail
