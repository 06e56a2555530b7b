// The MX query's Windows platform under Wine, inside the namespace of run_dns_tests.sh: the
// discovery through GetNetworkParams and the registry, the lookups and the UDP exchange of
// Windows Sockets, against the same dnsmasq as the native tests. Prints "ok"/"not ok" lines
// and a closing "N passed, M failed"; exits non-zero on a failure.
#include <cstdio>
#include <string>
#include <vector>

#include "mail/mx_query.h"

namespace {

int passed = 0;
int failed = 0;

void Check(bool good, const std::string& name, const std::string& detail) {
  if (good) {
    ++passed;
    std::printf("ok - %s\n", name.c_str());
  } else {
    ++failed;
    std::printf("not ok - %s (%s)\n", name.c_str(), detail.c_str());
  }
}

struct Outcome {
  std::string result;
  std::vector<std::string> statuses;
};

Outcome Query(zankit::mail::MxResolver& resolver, const std::string& domain) {
  Outcome outcome;
  outcome.result = resolver.MXQuery(
      domain, [&outcome](std::string& text) { outcome.statuses.push_back(text); });
  return outcome;
}

}  // namespace

int main() {
  using namespace zankit::mail;
  MxResolver resolver(MakePlatformDnsSystem());
  const DnsModuleState& state = resolver.State();

  const Outcome two = Query(resolver, " two.example.com ");
  Check(two.result == "mx10.two.example.com", "lowest preference wins", two.result);
  Check(state.dnsServers == TextList{"127.0.0.1"}, "servers from the network parameters",
        JoinList(state.dnsServers, ","));

  const Outcome walk = Query(resolver, "a.b.example.com");
  Check(walk.result == "mx.example.com", "sub-domain walks up to the base domain", walk.result);

  const Outcome shortDomain = Query(resolver, "a.de");
  Check(shortDomain.statuses.size() == 2 && shortDomain.statuses[1] == kMxNoValidDomain,
        "4-character domain refused",
        shortDomain.statuses.empty() ? "" : shortDomain.statuses.back());

  // The network parameters carry no domain under Wine; the registry or the server's host name
  // gives it.
  const Outcome machine = Query(resolver, "");
  const std::string expected = "mail." + state.defaultDomain;
  Check(!state.defaultDomain.empty() && machine.result == expected,
        "empty domain asks for the machine's domain",
        "domain '" + state.defaultDomain + "', result '" + machine.result + "'");

  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
