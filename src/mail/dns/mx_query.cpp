#include "mail/dns/mx_query.h"

#include <new>

#include "mail/dns/dns_message.h"

namespace zankit::mail {
namespace {

// Position of the first occurrence of needle in haystack, compared without regard to case.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle) {
    return ToUpperAscii(haystack).find(ToUpperAscii(needle));
}

void RaiseStatus(const StatusCallback& status, std::string text) {
    if (status) status(text);
}

}  // namespace

MxResolver::MxResolver(std::unique_ptr<DnsSystem> system, DnsModuleState& state)
    : system_(std::move(system)), state_(state) {}

std::string MxResolver::MXQuery(const std::string& domain, const StatusCallback& status) {
    try {
        const std::string trimmed = TrimSpaces(domain);
        std::string text = "Performing MX Query";
        if (!trimmed.empty()) text += ", Domain: " + trimmed;
        RaiseStatus(status, text);
        return DnsMXQuery(trimmed);
    } catch (const MxQueryError& error) {
        RaiseStatus(status, error.what());
    } catch (const std::bad_alloc&) {
        RaiseStatus(status, "Out of memory");
    }
    return {};
}

std::string MxResolver::DnsMXQuery(const std::string& domain) {
    state_.bestMX.clear();
    if (state_.dnsServers.empty()) {
        GetDnsInfo(*system_, state_);
        if (state_.dnsServers.empty()) throw MxQueryError(kMxNoDnsEntries);
    }
    std::string current = domain.empty() ? state_.defaultDomain : domain;
    // Every pass drops the first label, so the walk ends within the domain's length.
    for (;;) {
        bool tryParent = false;
        std::string exchanger = QueryOnce(current, tryParent);
        if (!tryParent) return exchanger;
        const std::size_t base = FindNoCase(current, state_.baseDomain);
        const std::size_t dot = current.find('.');
        if (state_.baseDomain.empty() || base == std::string::npos || base == 0 || dot == std::string::npos) {
            return {};
        }
        current = current.substr(dot + 1);
    }
}

// One question to the first server. tryParent tells the caller that the answer held no
// records, so a parent domain may be asked next.
std::string MxResolver::QueryOnce(const std::string& domain, bool& tryParent) {
    tryParent = false;
    if (domain.size() < 5) throw MxQueryError(kMxNoValidDomain);
    const auto query = BuildMXQuery(domain);
    if (!query) throw MxQueryError(kMxNoValidDomain);
    state_.queryDomain = domain;

    const std::string& server = state_.dnsServers.front();
    std::optional<IPv4Bytes> address = ParseDottedIPv4(server);
    if (!address) address = system_->ResolveIPv4(server);
    if (!address) return {};

    // Only the asked server's answer to this very query counts, so a stray or forged datagram
    // cannot answer it.
    const DatagramResult result = system_->ExchangeDatagram(
        *address, kDnsPort, *query, kMxReceiveTimeoutMs, kMaxMxReply,
        [&query](const std::vector<std::uint8_t>& datagram) { return IsReplyTo(datagram, *query); });
    switch (result.outcome) {
        case DatagramOutcome::Answered:
            break;
        case DatagramOutcome::NoSockets:
            return {};
        case DatagramOutcome::SendFailed:
            throw MxQueryError(kMxSendProblem);
        case DatagramOutcome::ReceiveFailed:
            throw MxQueryError(kMxReceiveProblem);
    }

    const auto answers = ReplyAnswerCount(result.reply);
    if (!answers) return {};
    if (*answers == 0) {
        tryParent = true;
        return {};
    }
    state_.bestMX = ParseMXAnswers(result.reply);
    return state_.bestMX;
}

}  // namespace zankit::mail
