// One ICMP echo through the system's ICMP echo service (iphlpapi).
#pragma once

#include <winsock2.h>

#include <string>

#include "mail/mail_types.h"

namespace zankit::mail {

// Sends one echo request carrying payload and waits at most timeoutMs. The reply record is read
// from a zero-filled buffer, so fields the service does not write read as 0.
EchoResult WindowsIcmpEcho(const IPv4Bytes& address, const std::string& payload, unsigned timeoutMs);

}  // namespace zankit::mail
