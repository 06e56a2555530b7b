// Syntax checks of e-mail addresses, host names and dotted IPv4 addresses.
#pragma once

#include <cstdint>
#include <string_view>

namespace zankit::mail {

// The known top-level domains as one text; a label is known when it occurs anywhere in it.
extern const std::string_view kKnownTopLevelDomains;

// Four "."-separated decimal parts, the first at most 239, the others at most 255.
bool IsIPAddress(std::string_view text);

// A trimmed host is valid when it is a dotted address, or has at least two labels and its last
// label occurs (case-insensitively) in kKnownTopLevelDomains; an empty last label counts.
bool IsValidHostName(std::string_view host);

// Exactly one "@" and a valid host name after it; the part before it is not examined.
bool IsValidEmailAddress(std::string_view address);

// The 32-bit value whose bytes in memory are the four parts' low bytes in order
// ("10.0.0.1" lies in memory as 10, 0, 0, 1). 0 unless there are four decimal parts.
std::uint32_t DottedToAddress(std::string_view text);

}  // namespace zankit::mail
