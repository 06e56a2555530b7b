// MD5 and HMAC-MD5, as the CRAM-MD5 login needs them (the answer to a server's challenge).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zankit::mail {

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest Md5(std::string_view bytes);
Md5Digest HmacMd5(std::string_view key, std::string_view message);
// The digest as 32 lower-case hexadecimal digits.
std::string HexDigest(const Md5Digest& digest);

}  // namespace zankit::mail
