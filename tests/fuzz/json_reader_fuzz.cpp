// libFuzzer target for the JSON reader: any text is read or refused with a reason, never a crash;
// a value read within small limits is read within the default ones too; and a value written back
// in canonical form reads again, within the same depth and value limits, as the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "../unit/mail/oauth/json_canonical.h"
#include "mail/oauth/json_reader.h"

namespace {

using zankit::mail::JsonLimits;

void Check(bool condition) {
    if (!condition) std::abort();
}

// The canonical text of what the reader made of text, or "" when it refused the text.
std::string ReadAndRoundTrip(std::string_view text, const JsonLimits& limits) {
    std::string error;
    const auto value = zankit::mail::ParseJson(text, limits, &error);
    Check(value.has_value() == error.empty());
    if (!value) return {};
    const std::string canonical = CanonicalJson(*value);
    JsonLimits anySize = limits;
    anySize.maxBytes = std::numeric_limits<std::size_t>::max();  // escapes may grow the text
    const auto again = zankit::mail::ParseJson(canonical, anySize);
    Check(again && CanonicalJson(*again) == canonical);
    return canonical;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string withDefaults = ReadAndRoundTrip(text, JsonLimits{});
    const std::string withSmall = ReadAndRoundTrip(text, JsonLimits{256, 4, 24});
    Check(withSmall.empty() || withSmall == withDefaults);
    return 0;
}
