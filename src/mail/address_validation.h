// Syntax checks of e-mail addresses, host names and dotted IPv4 addresses, and the forms
// addresses take on the wire: a domain with non-ASCII letters as its A-labels ("xn--...").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zankit::mail {

// The known top-level domains as one text; a label is known when it occurs anywhere in it.
extern const std::string_view kKnownTopLevelDomains;

// Four "."-separated decimal parts, the first at most 239, the others at most 255.
bool IsIPAddress(std::string_view text);

// A trimmed host, in its A-label form, is valid when it is a dotted address, or has at least
// two labels and its last label occurs (case-insensitively) in kKnownTopLevelDomains or is an
// A-label itself; an empty last label counts.
bool IsValidHostName(std::string_view host);

// Exactly one "@" and a valid host name after it; the part before it is not examined (it may
// hold any UTF-8 text).
bool IsValidEmailAddress(std::string_view address);

// Each label of a domain that holds a non-ASCII character becomes "xn--" and the Punycode of
// the label with its ASCII letters in lower case; ASCII labels stay as they are. A label that
// cannot be encoded stays as it is too.
std::string ToAsciiDomain(std::string_view domain);

// The address with its domain (after the last "@") in A-labels; the local part is unchanged.
std::string WireAddress(std::string_view address);

// True when the part before the last "@" holds a non-ASCII character: such an address goes
// only to a server that takes SMTPUTF8.
bool HasInternationalLocalPart(std::string_view address);

// The 32-bit value whose bytes in memory are the four parts' low bytes in order
// ("10.0.0.1" lies in memory as 10, 0, 0, 1). 0 unless there are four decimal parts.
std::uint32_t DottedToAddress(std::string_view text);

}  // namespace zankit::mail
