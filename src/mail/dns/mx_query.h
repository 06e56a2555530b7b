// The MX query of the mail class: finds the mail exchanger of a domain by asking the first
// name server of the machine directly.
//
// Use from the COM glue (one MxResolver per mail object, or one per call; the discovered
// configuration lives per thread either way):
//   zankit::mail::MxResolver resolver(zankit::mail::MakePlatformDnsSystem());
//   std::string exchanger = resolver.MXQuery(domain, [&](std::string& text) {
//     events.Status(text);  // raise the Status event
//   });
// MXQuery never throws: failures give "" and one Status event with the failure text.
// It blocks the calling thread for the exchange (at most 5 seconds per query sent).
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "mail/dns/dns_discovery.h"
#include "mail/dns_seam.h"

namespace zankit::mail {

inline constexpr const char* kMxNoDnsEntries = "No DNS entries found, MX Query cannot contine.";
inline constexpr const char* kMxNoValidDomain = "No Valid Domain Specified";
inline constexpr const char* kMxSendProblem = "Problem sending MX query";
inline constexpr const char* kMxReceiveProblem = "Problem receiving MX query";

// How long the query waits for the name server's reply.
inline constexpr unsigned kMxReceiveTimeoutMs = 5000;
inline constexpr std::uint16_t kDnsPort = 53;
inline constexpr std::size_t kMaxMxReply = 2048;

// A failure of the query; what() is the text the Status event carries.
class MxQueryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Receives the Status texts; the argument may be changed by the handler, without effect.
using StatusCallback = std::function<void(std::string& status)>;

class MxResolver {
public:
    // Uses system for every platform question and state as the discovered configuration
    // (by default the calling thread's, shared by every resolver of the thread).
    explicit MxResolver(std::unique_ptr<DnsSystem> system, DnsModuleState& state = ThisThreadDnsState());

    // The class member: trims domain of spaces, raises Status with
    // "Performing MX Query, Domain: <domain>" (or "Performing MX Query" when it is empty) and
    // returns the exchanger with the lowest preference. On failure it returns "" and raises
    // Status with the failure text. An empty domain asks for the machine's own domain.
    std::string MXQuery(const std::string& domain, const StatusCallback& status);

    // The query itself: discovery when no server is known yet, then one exchange per domain
    // tried, walking up to the base domain while the answer holds no records. Throws
    // MxQueryError with one of the four failure texts; other failures give "".
    std::string DnsMXQuery(const std::string& domain);

    const DnsModuleState& State() const { return state_; }

private:
    std::string QueryOnce(const std::string& domain, bool& tryParent);

    std::unique_ptr<DnsSystem> system_;
    DnsModuleState& state_;
};

}  // namespace zankit::mail
