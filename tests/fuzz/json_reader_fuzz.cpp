// libFuzzer target for the JSON reader: any text is read or refused with a reason, never a crash;
// what small limits let through the default ones do too; and a value written back in canonical
// form reads again, within the same depth and value limits, as the same value.
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "../unit/mail/oauth/json_canonical.h"

using zankit::mail::JsonLimits;

// The canonical text of what the reader made of text, or "" when it refused the text.
static std::string ReadTwice(std::string_view text, JsonLimits limits) {
    std::string error;
    const auto value = zankit::mail::ParseJson(text, limits, &error);
    if (value.has_value() != error.empty()) std::abort();
    if (!value) return {};
    const std::string canonical = CanonicalJson(*value);
    limits.maxBytes = std::numeric_limits<std::size_t>::max();  // escapes may make the text longer
    const auto again = zankit::mail::ParseJson(canonical, limits);
    if (!again || CanonicalJson(*again) != canonical) std::abort();
    return canonical;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string withDefaults = ReadTwice(text, JsonLimits{});
    const std::string withSmallLimits = ReadTwice(text, JsonLimits{256, 4, 24});
    if (!withSmallLimits.empty() && withSmallLimits != withDefaults) std::abort();
    return 0;
}
