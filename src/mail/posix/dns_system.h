// The native DNS system with a chosen resolver configuration file, so tests can point the
// discovery at a file of their own. MakePlatformDnsSystem() reads /etc/resolv.conf.
#pragma once

#include <memory>
#include <string>

#include "mail/dns_seam.h"

namespace zankit::mail {

inline constexpr const char* kSystemResolvConf = "/etc/resolv.conf";

std::unique_ptr<DnsSystem> MakePosixDnsSystem(const std::string& resolvConfPath);

}  // namespace zankit::mail
