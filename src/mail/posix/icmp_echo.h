// One ICMP echo exchange over a datagram ICMP socket, or a raw socket where the datagram kind
// is not permitted (it is, for root).
#pragma once

#include <netinet/in.h>

#include <string>

#include "mail/mail_types.h"

namespace zankit::mail {

// Sends one echo request carrying payload to target and waits at most timeoutMs for the
// matching reply. Without a reply the result has a non-zero status and zero fields.
EchoResult PosixIcmpEcho(const in_addr& target, const std::string& payload, unsigned timeoutMs);

}  // namespace zankit::mail
