#include "mail/oauth/oauth_forms.h"

#include <array>
#include <cstdint>

#include "mail/message/encodings.h"
#include "mail/oauth/sha256.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace

std::string PercentEncodeValue(std::string_view value) {
    std::string encoded;
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += kHexDigits[c >> 4];
            encoded += kHexDigits[c & 0x0F];
        }
    }
    return encoded;
}

std::string FormEncode(const FormFields& fields) {
    std::string form;
    for (const auto& [name, value] : fields) {
        if (!form.empty()) form += '&';
        form += PercentEncodeValue(name) + '=' + PercentEncodeValue(value);
    }
    return form;
}

bool IsHttpsUrl(std::string_view url) {
    constexpr std::string_view kScheme = "https://";
    if (url.size() <= kScheme.size() || !EqualsNoCase(url.substr(0, kScheme.size()), kScheme)) return false;
    const char first = url[kScheme.size()];
    return first != '/' && first != '?' && first != '#' && first != ':' && first != '@';
}

std::string WithQuery(const std::string& url, const FormFields& fields) {
    return url + (url.find('?') == std::string::npos ? '?' : '&') + FormEncode(fields);
}

std::map<std::string, std::string> QueryFields(std::string_view target) {
    std::map<std::string, std::string> fields;
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos) return fields;
    std::string_view query = target.substr(question + 1);
    query = query.substr(0, query.find('#'));
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t equals = pair.find('=');
        std::string name = PercentDecode(pair.substr(0, equals));
        std::string value = equals == std::string_view::npos ? std::string() : PercentDecode(pair.substr(equals + 1));
        if (!name.empty()) fields.emplace(std::move(name), std::move(value));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return fields;
}

std::string Base64Url(std::string_view bytes) {
    std::string encoded = Base64OneLine(bytes);
    while (!encoded.empty() && encoded.back() == '=') encoded.pop_back();
    for (char& c : encoded) {
        if (c == '+') c = '-';
        if (c == '/') c = '_';
    }
    return encoded;
}

ProofKey ProofKeyFrom(std::string_view randomBytes) {
    ProofKey key;
    key.verifier = Base64Url(randomBytes);
    const std::array<std::uint8_t, 32> digest = Sha256(key.verifier);
    key.challenge = Base64Url(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
    return key;
}

}  // namespace zankit::mail
