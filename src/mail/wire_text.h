// Texts as they leave for the server: values kept on one line, and the message text with
// CR LF line ends and every line that begins with "." doubled exactly once.
#pragma once

#include <string>
#include <string_view>

namespace zankit::mail {

// Each run of CR and LF characters becomes one space, so a value put into a command or a
// header line can never start a line of its own.
std::string OneLine(std::string_view value);

// A line that begins with "." gets one more "." in front.
std::string DoubleLeadingDot(std::string line);

// The stored message text (already through NormalizeMessage) as the DATA phase carries it:
// every line break (CR LF, bare CR, bare LF) becomes CR LF. The stored text has its lines at
// its own separator already stuffed; the lines that only a bare CR or LF inside them starts
// are stuffed here. No final CR LF is added.
std::string MessageForWire(std::string_view stored);

}  // namespace zankit::mail
