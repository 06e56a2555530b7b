// Discovery of the name servers and DNS domain the MX query uses, and the per-thread state
// that keeps them.
#pragma once

#include <string>
#include <string_view>

#include "mail/dns_seam.h"
#include "mail/text_rules.h"

namespace zankit::mail {

// What the MX query keeps between calls. One copy exists per thread (ThisThreadDnsState);
// discovery fills it once and later queries reuse it.
struct DnsModuleState {
    TextList dnsServers;        // addresses as text, in discovery order; the first is asked
    std::string defaultDomain;  // used when the caller gives no domain
    std::string baseDomain;     // last two labels of the machine's domain
    std::string queryDomain;    // domain of the query in progress
    std::string bestMX;         // result of the last answer walk
};

// This thread's state, created empty on first use.
DnsModuleState& ThisThreadDnsState();

// Servers text to list: every space becomes ",", one final "," is dropped, the rest is split
// at ","; an empty text gives no servers.
TextList SplitServerText(std::string_view servers);

// The servers and domain of a resolv.conf text: each "nameserver" line with an IPv4 address
// adds it (IPv6 servers are left out, as the query speaks IPv4 only); the domain is the
// "domain" line's, else the first entry of the "search" line. Comments start with "#" or ";".
DnsHostConfig ParseResolvConf(std::string_view text);

// The host name of a dotted IPv4 address, cut at its first NUL and trimmed of spaces; "" for
// any other text or when the lookup fails.
std::string ReverseLookup(DnsSystem& system, std::string_view address);

// Fills the servers, DefaultDomain and BaseDomain of state from the platform's configuration.
// Without a domain, the domain comes from the host name of the first server.
void GetDnsInfo(DnsSystem& system, DnsModuleState& state);

// The four bytes of a dotted IPv4 address (four decimal parts of at most 255); nothing else.
std::optional<IPv4Bytes> ParseDottedIPv4(std::string_view text);

}  // namespace zankit::mail
