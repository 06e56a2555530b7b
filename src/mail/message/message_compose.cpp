#include "mail/message/message_compose.h"

#include <chrono>
#include <string_view>
#include <cmath>
#include <cstdio>
#include <random>

#include "mail/address_validation.h"
#include "mail/message/encodings.h"
#include "mail/message/header_words.h"
#include "mail/text_rules.h"
#include "mail/message/wire_text.h"

namespace zankit::mail {
namespace {

constexpr char kQuote = '"';
// The first encoded word of a display name fits after "From: " (or "To: ") on a line of 76; in
// "Disposition-Notification-To: " it is shorter. A name that fits one word reads best: some
// readers keep the space between two words of a display name.
constexpr std::size_t kNameWordWidth = kLongestEncodedLine - 6;
constexpr std::size_t kReceiptNameWordWidth = kLongestEncodedLine - 29;
constexpr std::size_t kSubjectWordWidth = kLongestEncodedLine - 9;  // after "Subject: "

// Upper-case hexadecimal, left-padded with zeros and cut to the last eight digits.
std::string Hex8(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
    return std::string(text + 8);
}

// Position of needle in haystack at or after from, compared without regard to case.
std::size_t FindNoCase(const std::string& haystack, const std::string& needle, std::size_t from) {
    const std::string upperHay = ToUpperAscii(haystack);
    const std::string upperNeedle = ToUpperAscii(needle);
    return upperHay.find(upperNeedle, from);
}

// Characters that may stand right before or after a file name in a tag: a path separator,
// a quote, the attribute's "=", white space, the tag's brackets, or the start of a query.
bool BoundsAName(char c) {
    static constexpr std::string_view kBounds = "\\/\"'= \t\r\n<>?#";
    return kBounds.find(c) != std::string_view::npos;
}

bool IsWholeName(const std::string& message, std::size_t at, std::size_t length) {
    const bool startsClean = at == 0 || BoundsAName(message[at - 1]);
    const std::size_t end = at + length;
    return startsClean && (end == message.size() || BoundsAName(message[end]));
}

// Links the occurrences of one attachment name to its Content-ID; true when any was rewritten.
bool LinkOneName(std::string& message, const std::string& name, const std::string& contentId) {
    bool linked = false;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = FindNoCase(message, name, from);
        if (at == std::string::npos) return linked;
        if (!IsWholeName(message, at, name.size())) {
            from = at + name.size();
            continue;
        }
        const std::size_t open = at == 0 ? std::string::npos : message.rfind('<', at - 1);
        const std::size_t close = open == std::string::npos ? std::string::npos : message.find('>', open + 1);
        const bool insideTag = open != std::string::npos && close != std::string::npos && close > at;
        const std::size_t equals = at == 0 ? std::string::npos : message.rfind('=', at - 1);
        // A name in a tag without any "=" before it has no attribute to rewrite: left alone.
        if (!insideTag || equals == std::string::npos) {
            from = at + name.size();
            continue;
        }
        const std::size_t quote = message.find(kQuote, equals);
        const std::size_t start = (quote != std::string::npos && quote < at) ? quote : equals;
        message = message.substr(0, start + 1) + "cid:" + contentId + message.substr(at + name.size());
        linked = true;
        from = start + 1 + 4 + contentId.size();
    }
}

std::int64_t Length(const std::string& text) { return static_cast<std::int64_t>(text.size()); }

}  // namespace

std::string MakeBoundary(const LocalDateTime& now) {
    using namespace std::chrono;
    const sys_days date{year{now.year} / month{static_cast<unsigned>(now.month)} / day{static_cast<unsigned>(now.day)}};
    const sys_days epoch{year{1899} / December / day{30}};
    const std::int64_t serial = (date - epoch).count();
    const double fraction = (now.hour * 3600.0 + now.minute * 60.0 + now.second) / 86400.0;
    const auto time = static_cast<std::uint64_t>(std::llround(fraction * 1e8));
    return "----_=_NextPart_000_" + Hex8(static_cast<std::uint64_t>(serial)) + "." + Hex8(time);
}

std::string MakeMessageId(const UtcStamp& now, std::uint32_t seed, const std::string& hostName) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d%03d.", now.year, now.month, now.day, now.hour,
                  now.minute, now.second, now.millisecond);
    std::string id(stamp);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(0, 60);
    for (int i = 0; i < 20; ++i) id.push_back(kBase64Alphabet[static_cast<std::size_t>(pick(random))]);
    return id + "@" + hostName;
}

std::string ContentIdFor(const std::string& name, std::size_t index) {
    return HasNonAscii(name) ? "embedded" + std::to_string(index + 1) : name;
}

bool LinkEmbeddedFiles(MailSettings& settings) {
    if (settings.Attachments().Count() < 1 || !settings.AsHTML()) return false;
    std::string message = settings.Message();
    bool related = false;
    const TextList& names = settings.Attachments().Names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty()) continue;
        if (LinkOneName(message, names[i], ContentIdFor(names[i], i))) {
            settings.SetEmbeddedFlag(i, true);
            related = true;
        }
    }
    if (message != settings.Message()) settings.ReplaceMessage(std::move(message));
    return related;
}

std::int64_t EstimateMessageSize(const MailSettings& s) {
    const std::int64_t fromLength = Length(s.From());
    std::int64_t e = fromLength + 93;
    if (s.UseAuthentication()) {
        e += fromLength + 25;
        if (!s.Username().empty()) e += 4 * Length(s.Username()) / 3;
        if (!s.Password().empty()) e += 4 * Length(s.Password()) / 3;
    }
    for (const TextList* list : {&s.Recipients(), &s.CcRecipients()}) {
        for (std::size_t k = 0; k < list->size(); ++k) e += 2 * Length((*list)[k]) + 15 + (k > 0 ? 6 : 0);
    }
    for (const TextList* list : {&s.RecipientDisplayNames(), &s.CcDisplayNames()}) {
        for (const auto& name : *list) e += Length(name) + 11;
    }
    const TextList& bcc = s.BccRecipients();
    for (std::size_t k = 0; k < bcc.size(); ++k) e += Length(bcc[k]) + 15 + (k > 0 ? 6 : 0);
    if (!s.FromDisplayName().empty()) e += Length(s.FromDisplayName()) + 3;
    e += fromLength;
    if (!s.ReplyToAddress().empty()) e += Length(s.ReplyToAddress()) + 14;
    e += Length(s.Subject()) + Length(s.Message());
    const bool mime = s.EncodeType() == MIME_ENCODE;
    if (mime) {
        e += 64;
        if (s.AsHTML() && !s.ContentBase().empty()) e += Length(s.ContentBase()) + 18;
        if (s.Receipt()) e += Length(s.FromDisplayName()) + fromLength + 36;
    }
    if (s.Attachments().Count() == 0) return e;
    const auto b = static_cast<std::int64_t>(s.Attachments().Bytes());
    const std::int64_t c = s.Attachments().Count();
    const std::int64_t k = s.Attachments().NameChars();
    if (mime) return e + 4 * b / 3 + 2 * (b / 57) + 42 + 2 * k + 182 * c + 290;
    return e + 4 * b / 3 + 3 * (b / 45) + k + 20 * c;
}

std::string AddressEntry(const std::string& address, const std::string& displayName) {
    const std::string& shown = displayName.empty() ? TrimSpaces(address) : displayName;
    return HeaderText(shown, true, kNameWordWidth) + " <" + WireAddress(address) + ">";
}

std::string FromLine(const MailSettings& s) { return FromLine(s, kNameWordWidth); }

std::string FromLine(const MailSettings& s, std::size_t firstWordWidth) {
    const std::string& from = s.From();
    const std::string withoutSpaces = ReplaceAll(OneLine(s.FromDisplayName()), " ", "");
    const std::string& shown = withoutSpaces.empty() ? from : s.FromDisplayName();
    return HeaderText(shown, true, firstWordWidth) + " <" + WireAddress(from) + ">";
}

std::vector<std::string> HeaderLines(const MailSettings& s, const HeaderValues& v) {
    std::vector<std::string> lines;
    lines.push_back(HeaderLine("Message-ID", "<" + v.messageId + ">"));
    lines.push_back(HeaderLine("From", v.fromLine));
    lines.push_back(HeaderLine("To", v.toLine));
    if (!v.ccLine.empty()) lines.push_back(HeaderLine("Cc", v.ccLine));
    lines.push_back(HeaderLine("Subject", HeaderText(s.Subject(), false, kSubjectWordWidth)));
    if (!s.ReplyToAddress().empty()) {
        lines.push_back(HeaderLine("Reply-to", "<" + WireAddress(s.ReplyToAddress()) + ">"));
    }
    lines.push_back(HeaderLine("Date", v.date));
    if (s.EncodeType() != MIME_ENCODE) {
        // UU attachments follow the text inline; text outside ASCII still needs its label.
        if (v.body.charset != "iso-8859-1") {
            lines.push_back(HeaderLine("MIME-Version", "1.0"));
            lines.push_back(HeaderLine("Content-Type", "text/plain;\r\n\tcharset=\"" + v.body.charset + "\""));
            lines.push_back(HeaderLine("Content-Transfer-Encoding", TransferName(v.body.transfer)));
        }
        return lines;
    }

    lines.push_back(HeaderLine("MIME-Version", "1.0"));
    if (s.Priority() != NORMAL_PRIORITY) {
        lines.push_back(HeaderLine("X-Priority", std::to_string(s.Priority())));
        // A value without a text of its own (anything but 1, 3 and 5 set first) gets no line.
        if (!s.PriorityText().empty()) lines.push_back(HeaderLine("X-MSMail-Priority", s.PriorityText()));
    }
    if (s.Receipt()) {
        const std::string receiptTo = CarriesEncodedWords(v.fromLine) ? FromLine(s, kReceiptNameWordWidth) : v.fromLine;
        lines.push_back(HeaderLine("Disposition-Notification-To", receiptTo));
    }
    if (v.multipart) {
        const char* type = v.related ? "multipart/related;" : "multipart/mixed;";
        lines.push_back(
            HeaderLine("Content-Type", type + std::string("\r\n\tboundary=") + kQuote + v.boundary + kQuote));
        lines.push_back("");
        lines.push_back("This is a multi-part message in MIME format.");
        lines.push_back("");
        lines.push_back("--" + v.boundary);
    }
    const char* bodyType = s.AsHTML() ? "text/html;" : "text/plain;";
    lines.push_back(HeaderLine("Content-Type", bodyType + ("\r\n\tcharset=\"" + v.body.charset + "\"")));
    lines.push_back(HeaderLine("Content-Transfer-Encoding", TransferName(v.body.transfer)));
    if (s.AsHTML() && !s.ContentBase().empty()) {
        lines.push_back(HeaderLine("Content-Base", kQuote + s.ContentBase() + kQuote));
    }
    return lines;
}

std::vector<std::string> AttachmentPartHeader(const std::string& boundary, const std::string& name,
                                              const std::string& contentType, const std::string& contentId) {
    std::vector<std::string> lines;
    lines.push_back("--" + boundary);
    lines.push_back(HeaderLine("Content-Type", contentType + ";\r\n\t" + NameParameter("name", name)));
    lines.push_back(HeaderLine("Content-Transfer-Encoding", "base64"));
    lines.push_back(HeaderLine("Content-Disposition", "attachment;\r\n\t" + FileNameParameter(name)));
    if (!contentId.empty()) lines.push_back(HeaderLine("Content-ID", "<" + contentId + ">"));
    lines.push_back("");
    return lines;
}

}  // namespace zankit::mail
