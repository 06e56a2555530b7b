#include "mail/message/wire_text.h"

#include "mail/message/encodings.h"

namespace zankit::mail {
namespace {

constexpr std::string_view kFold = "\r\n\t";
constexpr std::size_t kLongestHeaderLine = 998;

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// Folds one piece before its spaces so that no line of it exceeds the longest line; the
// space starts the continuation line, as folding requires.
std::string FoldLongPiece(std::string piece, std::size_t firstLineTaken) {
    std::string folded;
    std::size_t taken = firstLineTaken;
    while (taken + piece.size() > kLongestHeaderLine) {
        const std::size_t room = kLongestHeaderLine - taken;
        const std::size_t space = piece.rfind(' ', room);
        if (space == std::string::npos || space == 0) break;
        folded.append(piece, 0, space).append("\r\n");
        piece.erase(0, space);
        taken = 0;
    }
    return folded + piece;
}

}  // namespace

std::string OneLine(std::string_view value) {
    std::string result;
    result.reserve(value.size());
    bool inRun = false;
    for (char c : value) {
        if (IsBreak(c)) {
            if (!inRun) result.push_back(' ');
            inRun = true;
            continue;
        }
        inRun = false;
        result.push_back(c);
    }
    return result;
}

std::string HeaderLine(std::string_view name, std::string_view value) {
    std::string line(name);
    line.append(": ");
    std::size_t start = 0;
    bool first = true;
    while (true) {
        const std::size_t fold = value.find(kFold, start);
        const std::string_view piece = value.substr(start, fold == std::string_view::npos ? fold : fold - start);
        if (!first) line.append(kFold);
        line.append(FoldLongPiece(OneLine(piece), first ? name.size() + 2 : 1));
        if (fold == std::string_view::npos) return line;
        start = fold + kFold.size();
        first = false;
    }
}

std::string HeaderText(std::string_view value, bool quote) { return EncodeHeaderText(OneLine(value), quote); }

std::string Command(std::string_view verb, std::string_view argument) {
    std::string line(verb);
    if (!argument.empty()) line.append(" ").append(OneLine(argument));
    return line;
}

}  // namespace zankit::mail
