#include "mail/reply_assembler.h"

namespace zankit::mail {
namespace {

// A line without a line feed is judged as it stands once it grows this long, so a peer that
// never ends its line cannot make the buffer grow without bound.
constexpr std::size_t kLongestLine = 65536;

}  // namespace

std::optional<std::string> ReplyAssembler::NextReply() {
    std::size_t start = 0;
    while (start < buffer_.size()) {
        const std::size_t feed = buffer_.find('\n', start);
        std::size_t end = 0;
        if (feed != std::string::npos) {
            end = feed + 1;
        } else if (buffer_.size() - start >= kLongestLine) {
            end = buffer_.size();
        } else {
            return std::nullopt;
        }
        const std::string_view line(buffer_.data() + start, end - start);
        const bool continues = mode_ == Mode::Smtp && line.size() >= 4 && line[3] == '-';
        if (!continues) {
            std::string reply = buffer_.substr(0, end);
            buffer_.erase(0, end);
            return reply;
        }
        start = end;
    }
    return std::nullopt;
}

}  // namespace zankit::mail
