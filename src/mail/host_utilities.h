// Host questions of the mail class: resolving a name, the local host name and one ICMP echo.
#pragma once

#include <random>
#include <string>

#include "mail/mail_seam.h"

namespace zankit::mail {

std::string DottedText(const IPv4Bytes& address);

class HostUtilities {
public:
    explicit HostUtilities(HostNetwork& network);

    // Dotted IPv4 address of hostName, empty when it does not resolve. An empty name asks for
    // the local host. hostName comes back trimmed of spaces and followed by one NUL character.
    std::string GetIPAddress(std::string& hostName);

    // The local host name; empty on failure.
    std::string GetIPHost();

    // One echo with 32 random bytes to address (a dotted address, else a name that is resolved
    // first), waiting at most 255 ms. True when the reply came from the address asked. address
    // receives the dotted address that answered (0.0.0.0 without a reply), roundTripTime the
    // milliseconds, dataSize the returned byte count and " bytes"; dataMatch tells whether the
    // returned data equals the data sent (unchanged when the reply holds no data to compare).
    bool Ping(std::string& address, std::string& roundTripTime, std::string& dataSize, bool& dataMatch);
    bool Ping(std::string& address);

private:
    HostNetwork& network_;
    std::mt19937 random_;
};

}  // namespace zankit::mail
