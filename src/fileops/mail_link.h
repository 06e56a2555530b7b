// The "mailto:" link SendMail hands to the shell.
#pragma once

#include <string>
#include <string_view>

namespace zankit::fileops {

// "mailto:" + address + "?Subject=" + subject, then "&Body=" + body when the body is not blank
// (it is trimmed of spaces first). The address goes in as the caller wrote it, so callers can add
// header fields to it ("a@b.org?cc=c@d.org"). In the subject and the body, characters that would
// cut or change the link (line breaks, spaces, "&", "#", "?", anything outside ASCII, ...) are
// percent-encoded; "%" stays as it is, so text that already holds "%0D%0A" keeps its meaning.
std::wstring MailLink(std::wstring_view address, std::wstring_view subject, std::wstring_view body);

}  // namespace zankit::fileops
