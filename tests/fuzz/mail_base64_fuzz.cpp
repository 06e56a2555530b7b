// libFuzzer target for the mail encoders: DecodeBase64String on any input, the round trip of
// Base64EncodeBytes, the layout of UU lines, and encoded words, quoted-printable and Punycode
// on any bytes (UTF-8 or not).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/message/body_encoding.h"
#include "mail/message/encodings.h"
#include "mail/message/header_words.h"
#include "mail/punycode.h"

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

    // Encoded words within their width give the bytes back; quoted-printable lines stay within 76.
    std::string words;
    std::size_t wordStart = 0;
    const std::string encodedWords = EncodedWords(input, 40);
    while (wordStart < encodedWords.size()) {
        const std::size_t wordEnd = std::min(encodedWords.find(' ', wordStart), encodedWords.size());
        Check(wordEnd - wordStart <= (wordStart == 0 ? 40 : kLongestEncodedWord));
        words += DecodeBase64String(encodedWords.substr(wordStart + 10, wordEnd - wordStart - 12));
        wordStart = wordEnd + 1;
    }
    Check(words == input);
    const std::string quoted = QuotedPrintable(input);
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 2) {
        end = quoted.find("\r\n", start);
        Check((end == std::string::npos ? quoted.size() : end) - start <= 76);
    }
    PunycodeEncode(input);
    return 0;
}
