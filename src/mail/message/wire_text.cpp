#include "mail/message/wire_text.h"

#include <algorithm>

#include "mail/message/header_words.h"

namespace zankit::mail {
namespace {

constexpr std::string_view kFold = "\r\n\t";
constexpr std::size_t kLongestHeaderLine = 998;

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// Folds one piece before its spaces so that no line of it exceeds the longest line; the
// space starts the continuation line, as folding requires. A space that ends the piece is
// never a fold: the line after it would be blank.
std::string FoldLongPiece(std::string piece, std::size_t firstLineTaken, std::size_t longest) {
    std::string folded;
    std::size_t taken = firstLineTaken;
    while (taken + piece.size() > longest && piece.size() > 1) {
        const std::size_t room = longest > taken ? longest - taken : 0;
        const std::size_t space = piece.rfind(' ', std::min(room, piece.size() - 2));
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
    const std::size_t longest = CarriesEncodedWords(value) ? kLongestEncodedLine : kLongestHeaderLine;
    std::string line(name);
    line.append(": ");
    std::size_t start = 0;
    bool first = true;
    while (true) {
        const std::size_t fold = value.find(kFold, start);
        const std::string_view piece = value.substr(start, fold == std::string_view::npos ? fold : fold - start);
        if (!first) line.append(kFold);
        line.append(FoldLongPiece(OneLine(piece), first ? name.size() + 2 : 1, longest));
        if (fold == std::string_view::npos) return line;
        start = fold + kFold.size();
        first = false;
    }
}

std::string HeaderText(std::string_view value, bool quote, std::size_t firstWidth) {
    return EncodeHeaderText(OneLine(value), quote, firstWidth);
}

std::string Command(std::string_view verb, std::string_view argument) {
    std::string line(verb);
    if (!argument.empty()) line.append(" ").append(OneLine(argument));
    return line;
}

}  // namespace zankit::mail
