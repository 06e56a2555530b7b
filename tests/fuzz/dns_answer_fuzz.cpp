// libFuzzer target for the MX answer walk: any received datagram must be walked without reading
// outside it, and the result is either empty or an exchanger name read from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mail/dns/dns_message.h"
#include "mail/text_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zankit::mail::DnsMessageView reply(data, size);
    const std::string best = zankit::mail::ParseMXAnswers(reply);
    if (!best.empty() && zankit::mail::TrimSpaces(best).empty()) std::abort();
    if (best.size() > 254) std::abort();  // longer than any name of at most 255 wire bytes

    // Names read from every offset stay inside the message and move the position forward.
    for (std::size_t offset = 0; offset < size; ++offset) {
        std::size_t position = offset;
        const auto name = zankit::mail::ReadDnsName(reply, position);
        if (name && (position <= offset || position > size)) std::abort();
        if (!name && position != offset) std::abort();
    }
    return 0;
}
