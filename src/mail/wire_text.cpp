#include "mail/wire_text.h"

#include <vector>

namespace zankit::mail {
namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// The separator NormalizeMessage used for the text: CR LF, else CR, else none.
std::string_view SeparatorOf(std::string_view text) {
    if (text.find("\r\n") != std::string_view::npos) return "\r\n";
    if (text.find('\r') != std::string_view::npos) return "\r";
    return {};
}

std::vector<std::string_view> SplitAtSeparator(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> lines;
    if (separator.empty()) {
        lines.push_back(text);
        return lines;
    }
    std::size_t start = 0;
    while (true) {
        const auto next = text.find(separator, start);
        if (next == std::string_view::npos) break;
        lines.push_back(text.substr(start, next - start));
        start = next + separator.size();
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Appends one stored line, whose own start is stuffed already; every bare CR or LF inside it
// starts a further line, stuffed here.
void AppendStoredLine(std::string& out, std::string_view line) {
    std::size_t start = 0;
    bool first = true;
    while (true) {
        std::size_t end = start;
        while (end < line.size() && !IsBreak(line[end])) ++end;
        std::string piece(line.substr(start, end - start));
        out.append(first ? piece : DoubleLeadingDot(std::move(piece)));
        if (end == line.size()) return;
        out.append("\r\n");
        first = false;
        start = end + 1;
    }
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

std::string DoubleLeadingDot(std::string line) {
    if (!line.empty() && line.front() == '.') line.insert(line.begin(), '.');
    return line;
}

std::string MessageForWire(std::string_view stored) {
    std::string out;
    out.reserve(stored.size() + stored.size() / 16);
    const std::vector<std::string_view> lines = SplitAtSeparator(stored, SeparatorOf(stored));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out.append("\r\n");
        AppendStoredLine(out, lines[i]);
    }
    return out;
}

}  // namespace zankit::mail
