// SHA-256 (FIPS 180-4), as the browser sign-in needs it for its code challenge.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zankit::mail {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view bytes);

}  // namespace zankit::mail
