// The two builders of single lines that go to the server: header lines of a message and
// protocol commands. Both keep every value on its line, so a caller cannot forget it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zankit::mail {

// Each run of CR and LF characters becomes one space.
std::string OneLine(std::string_view value);

// "Name: value". The value may be folded with CR LF TAB (address lists, parameters); every
// piece between folds is kept on one line, and a piece longer than a line may be (998
// characters, 76 when the value carries encoded words) is folded at its last space that leaves
// the line short enough.
std::string HeaderLine(std::string_view name, std::string_view value);

// Header text for a value a host gave: kept on one line, then encoded when it holds bytes
// above 126 (in quotes when quote is set), the first encoded word at most firstWidth long.
std::string HeaderText(std::string_view value, bool quote, std::size_t firstWidth);

// "VERB" or "VERB argument", the argument kept on one line.
std::string Command(std::string_view verb, std::string_view argument = {});

}  // namespace zankit::mail
