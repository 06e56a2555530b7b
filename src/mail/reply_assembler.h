// Gathers the bytes a server sends into complete replies. TCP may cut a reply anywhere and
// may join several, so bytes are buffered, cut into complete lines, and a reply is handed out
// only when it is whole: in SMTP mode the lines up to one that does not continue the reply
// (its fourth character is not "-"), in POP3 mode each line on its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zankit::mail {

class ReplyAssembler {
public:
    enum class Mode { Smtp, Pop3 };

    void SetMode(Mode mode) { mode_ = mode; }
    void Append(std::string_view bytes) { buffer_.append(bytes); }
    // The next complete reply with its line endings as received; nothing while none is whole.
    std::optional<std::string> NextReply();
    void Clear() { buffer_.clear(); }

private:
    Mode mode_ = Mode::Smtp;
    std::string buffer_;
};

}  // namespace zankit::mail
