// Gathers the bytes a server sends into complete replies. TCP may cut a reply anywhere and
// may join several, so bytes are buffered, cut into complete lines, and a reply is handed out
// only when it is whole: in SMTP mode the lines up to one that does not continue the reply
// (its fourth character is not "-"), in POP3 mode each line on its own. Only new bytes are
// scanned, and a reply larger than the cap is handed out as a reply of code kReplyTooLong.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zankit::mail {

// Reply codes the session tells apart; a reply that starts with none of them has code 0.
inline constexpr int kReplyNone = 0;
inline constexpr int kReplyTooLong = -1;
inline constexpr int kReplyServiceReady = 220;
inline constexpr int kReplyClosing = 221;
inline constexpr int kReplyOk = 250;
inline constexpr int kReplyWillForward = 251;
inline constexpr int kReplyAuthAccepted = 235;
inline constexpr int kReplyAuthPrompt = 334;
inline constexpr int kReplyStartData = 354;
inline constexpr int kReplyServiceClosing = 421;
inline constexpr int kReplySystemStatus = 211;
inline constexpr int kReplyHelp = 214;
inline constexpr int kReplyPop3Ok = 1000;     // "+OK" in any letter case
inline constexpr int kReplyPop3Error = 1001;  // "-ER" in any letter case

// One complete reply: its code (kReplyNone when its lines disagree on it), its lines without
// line ends, and the text as received.
struct Reply {
    int code = kReplyNone;
    std::vector<std::string> lines;
    std::string text;
};

// The code of a reply by its first three characters.
int ReplyCodeOf(std::string_view text);

class ReplyAssembler {
public:
    enum class Mode { Smtp, Pop3 };

    inline static constexpr std::size_t kMaxReplyBytes = 64 * 1024;
    inline static constexpr std::size_t kMaxReplyLines = 1000;

    void SetMode(Mode mode) { mode_ = mode; }
    void Append(std::string_view bytes) { buffer_.append(bytes); }
    // The next complete reply; nothing while none is whole.
    std::optional<Reply> NextReply();
    // True while received bytes wait that belong to no reply handed out yet.
    bool HasPending() const { return !buffer_.empty(); }
    const std::string& PendingBytes() const { return buffer_; }
    void Clear();

private:
    Reply Take(std::size_t end, int code);
    int CodeOfLines() const;

    Mode mode_ = Mode::Smtp;
    std::string buffer_;
    std::size_t scanned_ = 0;  // bytes of buffer_ already cut into lines of the reply under way
    std::vector<std::string> lines_;
};

}  // namespace zankit::mail
