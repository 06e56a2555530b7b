// How the text of a message goes out. Text that is all ASCII keeps its long-standing label
// (charset "iso-8859-1", 7bit, or 8bit when it holds the byte 127); any other text is labelled
// UTF-8 and goes out as 8bit only to a server that offered 8BITMIME (and only when no line is
// longer than 998 bytes), otherwise as quoted-printable or base64, whichever is shorter.
#pragma once

#include <string>
#include <string_view>

namespace zankit::mail {

enum class BodyTransfer { SevenBit, EightBit, QuotedPrintable, Base64 };

struct BodyForm {
    std::string charset = "iso-8859-1";
    BodyTransfer transfer = BodyTransfer::SevenBit;
};

BodyForm ChooseBodyForm(std::string_view text, bool eightBitAccepted);

// The value of the Content-Transfer-Encoding field.
std::string_view TransferName(BodyTransfer transfer);

// The text encoded for transfer, without a line end after its last line (the writer adds it).
// 7bit and 8bit text is returned as it is; the wire filter makes its line ends CR LF.
std::string EncodeBody(std::string_view text, BodyTransfer transfer);

// Quoted-printable: CR LF, a bare LF and a bare CR each end a line (CR LF in the result); "=",
// control bytes, bytes above 126 and a space or TAB at the end of a line become "=XX"; lines
// longer than 76 characters are broken with a soft line break "=".
std::string QuotedPrintable(std::string_view text);

}  // namespace zankit::mail
