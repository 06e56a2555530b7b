// libFuzzer target for the mail encoders: DecodeBase64String on any input, and the round trips
// of Base64EncodeBytes, UUEncodeLine and EncodeHeaderText.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/encodings.h"

namespace {

using namespace zankit::mail;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Base64 lines of 76 characters, every one ending in CR LF; returns them joined without breaks.
std::string JoinCheckedLines(const std::string& encoded) {
    std::string joined;
    std::size_t start = 0;
    while (start < encoded.size()) {
        const auto end = encoded.find("\r\n", start);
        Check(end != std::string::npos);
        const std::size_t length = end - start;
        Check(length > 0 && length <= 76 && length % 4 == 0);
        if (end + 2 < encoded.size()) Check(length == 76);
        joined.append(encoded, start, length);
        start = end + 2;
    }
    return joined;
}

// Decodes one UU line body made by UUEncodeLine (length character, groups, pad marks).
std::string DecodeUULine(const std::string& line) {
    auto value = [](char c) { return static_cast<unsigned>((c - 32) & 63); };
    Check(!line.empty());
    const std::size_t length = value(line[0]);
    // Characters of the groups, then "==" or "=" after a short last group.
    const std::size_t characters = length / 3 * 4 + (length % 3 == 0 ? 0 : length % 3 + 1);
    const std::string marks = length % 3 == 1 ? "==" : length % 3 == 2 ? "=" : "";
    Check(line.size() == 1 + characters + marks.size());
    Check(line.compare(1 + characters, std::string::npos, marks) == 0);
    const std::string body = line.substr(1, characters);
    std::string out;
    for (std::size_t i = 0; i < body.size(); i += 4) {
        unsigned v[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < 4 && i + k < body.size(); ++k) v[k] = value(body[i + k]);
        out.push_back(static_cast<char>((v[0] << 2) | (v[1] >> 4)));
        out.push_back(static_cast<char>(((v[1] & 15) << 4) | (v[2] >> 2)));
        out.push_back(static_cast<char>(((v[2] & 3) << 6) | v[3]));
    }
    Check(out.size() >= length);
    out.resize(length);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Any text decodes without fault, never to more than three bytes per four characters.
    const std::string decoded = DecodeBase64String(input);
    Check(decoded.size() <= (size + 3) / 4 * 3);

    // Encoding then decoding gives the bytes back.
    const std::string encoded = Base64EncodeBytes(data, size);
    const std::string joined = JoinCheckedLines(encoded);
    Check(joined.size() == (size + 2) / 3 * 4);
    Check(DecodeBase64String(joined) == input);

    // UU lines of up to 63 bytes decode to their input; longer input gives nothing.
    const std::string uu = UUEncodeLine(input);
    if (size > 63) {
        Check(uu.empty());
    } else if (size > 0) {
        Check(DecodeUULine(uu) == input);
    }

    // Encoded header words hold the text in pieces of 42 bytes.
    const std::string header = EncodeHeaderText(input, false);
    if (header != input) {
        std::string back;
        std::size_t start = 0;
        while (start < header.size()) {
            auto end = header.find("\r\n\t", start);
            if (end == std::string::npos) end = header.size();
            const std::string word = header.substr(start, end - start);
            Check(word.size() <= 73 && word.rfind("=?ISO-8859-1?B?", 0) == 0);
            back += DecodeBase64String(word.substr(15, word.size() - 17));
            start = end + 3;
        }
        Check(back == input);
    }
    return 0;
}
