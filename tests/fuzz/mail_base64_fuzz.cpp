// libFuzzer target for the mail encoders: DecodeBase64String on any input, the round trip of
// Base64EncodeBytes, and the layout of UU lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/message/encodings.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zankit::mail;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Check(DecodeBase64String(input).size() <= (size + 3) / 4 * 3);

    // Lines of 76 characters, each ending in CR LF, decode to the bytes encoded.
    const std::string encoded = Base64EncodeBytes(data, size);
    std::string joined;
    for (std::size_t start = 0; start < encoded.size();) {
        const auto end = encoded.find("\r\n", start);
        Check(end != std::string::npos && end > start && end - start <= 76 && (end - start) % 4 == 0);
        Check(end + 2 == encoded.size() || end - start == 76);
        joined.append(encoded, start, end - start);
        start = end + 2;
    }
    Check(joined.size() == (size + 2) / 3 * 4 && DecodeBase64String(joined) == input);

    // A UU line holds up to 63 bytes: length character, four characters per group, pad marks.
    const std::string uu = UUEncodeLine(input);
    if (size > 63) {
        Check(uu.empty());
    } else if (size > 0) {
        Check(uu.size() == 1 + (size * 4 + 2) / 3 + (3 - size % 3) % 3 && uu[0] == static_cast<char>(32 + size));
    }
    return 0;
}
