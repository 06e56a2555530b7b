#include "mail/session/reply_assembler.h"

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

std::string WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return std::string(line);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int ReplyCodeOf(std::string_view text) {
    if (text.size() < 3) return kReplyNone;
    const std::string_view code = text.substr(0, 3);
    if (IsDigit(code[0]) && IsDigit(code[1]) && IsDigit(code[2])) {
        return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    }
    if (EqualsNoCase(code, "+OK")) return kReplyPop3Ok;
    if (EqualsNoCase(code, "-ER")) return kReplyPop3Error;
    return kReplyNone;
}

std::optional<Reply> ReplyAssembler::NextReply() {
    while (scanned_ < buffer_.size()) {
        const std::size_t feed = buffer_.find('\n', scanned_);
        if (feed == std::string::npos) {
            // A line without its end counts against the cap too, so an endless line is cut off.
            if (buffer_.size() > kMaxReplyBytes) return Take(buffer_.size(), kReplyTooLong);
            return std::nullopt;
        }
        const std::size_t end = feed + 1;
        const std::string_view line(buffer_.data() + scanned_, end - scanned_);
        lines_.push_back(WithoutLineEnd(line));
        scanned_ = end;
        const bool continues = mode_ == Mode::Smtp && line.size() >= 4 && line[3] == '-';
        if (end > kMaxReplyBytes || (continues && lines_.size() >= kMaxReplyLines)) {
            return Take(end, kReplyTooLong);
        }
        if (!continues) return Take(end, CodeOfLines());
    }
    return std::nullopt;
}

int ReplyAssembler::CodeOfLines() const {
    // Lines of one reply that disagree on their code make no reply the session can judge.
    const std::string_view first = std::string_view(lines_.front()).substr(0, 3);
    for (const std::string& line : lines_) {
        if (std::string_view(line).substr(0, 3) != first) return kReplyNone;
    }
    return ReplyCodeOf(lines_.front());
}

void ReplyAssembler::Clear() {
    buffer_.clear();
    scanned_ = 0;
    lines_.clear();
}

Reply ReplyAssembler::Take(std::size_t end, int code) {
    Reply reply;
    reply.code = code;
    reply.lines = std::move(lines_);
    reply.text = buffer_.substr(0, end);
    buffer_.erase(0, end);
    scanned_ = 0;
    lines_.clear();
    return reply;
}

}  // namespace zankit::mail
