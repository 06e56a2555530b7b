// The Punycode encoding of RFC 3492 (Bootstring with the parameters for domain labels), which
// turns a Unicode label into the ASCII part of its A-label ("bücher" -> "bcher-kva").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zankit::mail {

// The Punycode text of a UTF-8 label, without the "xn--" prefix; nothing when the label is
// not valid UTF-8 or too long to encode.
std::optional<std::string> PunycodeEncode(std::string_view utf8Label);

}  // namespace zankit::mail
