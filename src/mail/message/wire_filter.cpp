#include "mail/message/wire_filter.h"

namespace zankit::mail {

void WireFilter::Write(std::string_view bytes) {
    for (char c : bytes) Take(c);
    Flush();
}

void WireFilter::Finish() {
    if (pendingCr_) {
        pendingCr_ = false;
        EndLine();
    }
    out_.append(line_);
    line_.clear();
    Flush();
}

void WireFilter::Take(char c) {
    if (pendingCr_) {
        pendingCr_ = false;
        EndLine();
        if (c == '\n') return;
    }
    if (c == '\r') {
        pendingCr_ = true;
        return;
    }
    if (c == '\n') {
        EndLine();
        return;
    }
    if (line_.empty() && c == '.') line_.push_back('.');
    line_.push_back(c);
    if (line_.size() > kLongestLine) BreakLongLine();
}

void WireFilter::EndLine() {
    out_.append(line_).append("\r\n");
    line_.clear();
}

void WireFilter::BreakLongLine() {
    while (line_.size() > kLongestLine) {
        // After the last space within the first 998 characters (the space stays on the first
        // line), else hard at 998.
        const std::size_t space = line_.rfind(' ', kLongestLine - 1);
        const std::size_t cut = space == std::string::npos ? kLongestLine : space + 1;
        out_.append(line_, 0, cut).append("\r\n");
        std::string rest = line_.substr(cut);
        line_.clear();
        if (!rest.empty() && rest.front() == '.') line_.push_back('.');
        line_.append(rest);
    }
}

void WireFilter::Flush() {
    if (out_.empty()) return;
    sink_(out_);
    out_.clear();
}

}  // namespace zankit::mail
