// The one filter every byte of a message passes on its way to the server (the DATA phase):
// any of CR LF, a bare LF and a bare CR ends a line and leaves as CR LF; a line longer than
// 998 characters is broken after its last space within them, or hard at 998; and every line
// that begins with "." (also one that a break starts) gets one more "." in front.
//
// The filter keeps state between writes (a CR whose LF may come with the next write, the
// line under way), so a message may be written in pieces of any size:
//   WireFilter filter([&](std::string_view bytes) { socket.SendData(bytes); });
//   filter.Write("Subject: x\r\n\r\n.body\n");  // "Subject: x\r\n\r\n..body\r\n"
//   filter.Finish();
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zankit::mail {

class WireFilter {
public:
    using Sink = std::function<void(std::string_view)>;

    inline static constexpr std::size_t kLongestLine = 998;

    explicit WireFilter(Sink sink) : sink_(std::move(sink)) {}

    // Filters bytes and hands every completed line to the sink (once per call, when any).
    void Write(std::string_view bytes);
    // Hands on what is held back: a pending CR as a line end, a line under way as it stands.
    void Finish();

private:
    void Take(char c);
    void EndLine();
    void BreakLongLine();
    void Flush();

    Sink sink_;
    std::string line_;        // the line under way, already stuffed, at most kLongestLine bytes
    bool pendingCr_ = false;  // a CR arrived; a LF right after it belongs to the same line end
    std::string out_;         // filtered bytes not yet handed to the sink
};

}  // namespace zankit::mail
