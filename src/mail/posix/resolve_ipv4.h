// Name resolution of the native build, shared by its mail and DNS systems.
#pragma once

#include <optional>
#include <string>

#include "mail/mail_types.h"

namespace zankit::mail {

// The first IPv4 address of a host name; nothing for an empty name or one that does not resolve.
std::optional<IPv4Bytes> ResolveHostIPv4(const std::string& hostName);

}  // namespace zankit::mail
