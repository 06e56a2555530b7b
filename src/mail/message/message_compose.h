// The pieces of one outgoing message that depend only on the settings and the clock: the
// boundary, the Message-ID value, the "cid:" linking of embedded files, the size estimate that
// progress is measured against, the address entries and the header lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mail/message/body_encoding.h"
#include "mail/settings/mail_settings.h"
#include "mail/mail_types.h"

namespace zankit::mail {

// "----_=_NextPart_000_" + serial day number + "." + time of day in units of 1e-8 day, both in
// upper-case hexadecimal of eight digits.
std::string MakeBoundary(const LocalDateTime& now);

// "yyyymmddhhmmssmmm." + twenty characters from "A".."Z", "a".."z", "0".."8" drawn with a
// generator seeded by seed + "@" + hostName.
std::string MakeMessageId(const UtcStamp& now, std::uint32_t seed, const std::string& hostName);

// The Content-ID of the attachment at index (from 0) with that name: the name itself when it
// is ASCII, else "embedded" and the index counted from 1, as a Content-ID stays ASCII.
std::string ContentIdFor(const std::string& name, std::size_t index);

// Rewrites references to attached files inside the tags of an HTML message to "cid:" and their
// Content-ID, marks those attachments embedded, and answers whether any was found.
bool LinkEmbeddedFiles(MailSettings& settings);

// The number of bytes the whole transmission is expected to take.
std::int64_t EstimateMessageSize(const MailSettings& settings);

// One entry of a To or Cc line: the display name (encoded, or quoted) or the address as
// display name, then " <" + address + ">" with the address's domain in A-labels.
std::string AddressEntry(const std::string& address, const std::string& displayName);

// The value of the From header (and of Disposition-Notification-To), the first encoded word of
// the display name at most firstWordWidth long.
std::string FromLine(const MailSettings& settings);
std::string FromLine(const MailSettings& settings, std::size_t firstWordWidth);

// What the header block needs besides the settings.
struct HeaderValues {
    std::string messageId;
    std::string fromLine;
    std::string toLine;
    std::string ccLine;
    std::string date;
    std::string boundary;  // empty unless the message is multipart
    bool multipart = false;
    bool related = false;
    BodyForm body;  // the label and transfer encoding of the message's text
};

// The header block in its order; each element goes out as one line (an element may be folded
// with CR LF TAB inside, or be empty for a blank line).
std::vector<std::string> HeaderLines(const MailSettings& settings, const HeaderValues& values);

// The part header of one base64 attachment, blank line included; no Content-ID when contentId
// is empty.
std::vector<std::string> AttachmentPartHeader(const std::string& boundary, const std::string& name,
                                              const std::string& contentType, const std::string& contentId);

}  // namespace zankit::mail
