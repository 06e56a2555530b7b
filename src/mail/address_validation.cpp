#include "mail/address_validation.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "mail/punycode.h"
#include "mail/text_rules.h"

namespace zankit::mail {

const std::string_view kKnownTopLevelDomains =
    "AERO BIZ COM COOP EDU GOV INFO INT MIL MUSEUM NAME NET ORG PRO WIEN WIKI WORLD TOP GOOGLE "
    "GMAIL GMX GLOBAL GRATIS GURU HELP FITNESS EXPERT EXCHANGE EVENTS EMAIL DIGITAL EDUCATION "
    "CREDIT COUNTRY CLINIC CITY AC AD AE AF AG AI AL AM AN AO AQ AR AS AT AU AW AZ BA BB BD BE BF "
    "BG BH BI BJ BM BN BO BR BS BT BV BW BY BZ CA CC CD CF CG CH CI CK CL CM CN CO CR CU CV CX CY "
    "CZ DE DJ DK DM DO DZ EC EE EG EH ER ES ET FI FJ FK FM FO FR GA GD GE GF GG GH GI GL GM GN GP "
    "GQ GR GS GT GU GW GY HK HM HN HR HT HU ID IE IL IM IN IO IQ IR IS IT JE JM JO JP KE KG KH KI "
    "KM KN KP KR KW KY KZ LA LB LC LI LK LR LS LT LU LV LY MA MC MD MG MH MK ML MM MN MO MP MQ MR "
    "MS MT MU MV MW MX MY MZ NA NC NE NF NG NI NL NO NP NR NU NZ OM PA PE PF PG PH PK PL PM PN PR "
    "PS PT PW PY QA RE RO RU RW SA SB SC SD SE SG SH SI SJ SK SL SM SN SO SR ST SV SY SZ TC TD TF "
    "TG TH TJ TK TM TN TO TP TR TT TV TW TZ UA UG UK UM US UY UZ VA VC VE VG VI VN VU WF WS YE YT "
    "YU ZA ZM ZW";

namespace {

// Decimal value of a part made of digits only; nothing for anything else. Values above
// 65535 are reported as 65536, which every range check here refuses.
std::optional<unsigned> DecimalPart(std::string_view part) {
    if (part.empty()) return std::nullopt;
    unsigned value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535) value = 65536;
    }
    return value;
}

// Low byte of a part made of digits only (the value modulo 256); nothing for anything else.
std::optional<unsigned char> LowByteOfDecimal(std::string_view part) {
    if (part.empty()) return std::nullopt;
    unsigned value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return std::nullopt;
        value = (value * 10 + static_cast<unsigned>(c - '0')) % 256;
    }
    return static_cast<unsigned char>(value);
}

}  // namespace

bool IsIPAddress(std::string_view text) {
    const auto parts = SplitAt(text, '.');
    if (parts.size() != 4) return false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto value = DecimalPart(parts[i]);
        if (!value) return false;
        if (*value > (i == 0 ? 239u : 255u)) return false;
    }
    return true;
}

bool IsValidHostName(std::string_view host) {
    const std::string h = ToUpperAscii(ToAsciiDomain(TrimSpaces(host)));
    if (h.empty()) return false;
    if (IsIPAddress(h)) return true;
    const auto labels = SplitAt(h, '.');
    if (labels.size() < 2) return false;
    return ContainsNoCase(kKnownTopLevelDomains, labels.back()) || labels.back().rfind("XN--", 0) == 0;
}

std::string ToAsciiDomain(std::string_view domain) {
    if (!HasNonAscii(domain)) return std::string(domain);
    std::string result;
    const auto labels = SplitAt(domain, '.');
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const std::string_view label = labels[i];
        if (i > 0) result.push_back('.');
        const auto encoded = HasNonAscii(label) ? PunycodeEncode(ToLowerAscii(label)) : std::nullopt;
        result.append(encoded ? "xn--" + *encoded : std::string(label));
    }
    return result;
}

std::string WireAddress(std::string_view address) {
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos) return std::string(address);
    return std::string(address.substr(0, at + 1)) + ToAsciiDomain(address.substr(at + 1));
}

bool HasInternationalLocalPart(std::string_view address) {
    return HasNonAscii(address.substr(0, std::min(address.rfind('@'), address.size())));
}

bool IsValidEmailAddress(std::string_view address) {
    const auto parts = SplitAt(address, '@');
    return parts.size() == 2 && IsValidHostName(parts[1]);
}

std::uint32_t DottedToAddress(std::string_view text) {
    const auto parts = SplitAt(text, '.');
    if (parts.size() != 4) return 0;
    unsigned char bytes[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto low = LowByteOfDecimal(parts[i]);
        if (!low) return 0;
        bytes[i] = *low;
    }
    std::uint32_t address = 0;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

}  // namespace zankit::mail
