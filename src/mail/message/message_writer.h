// Writes one message of the DATA phase: header lines, the text, and attachment files (base64
// in pieces of 11 400 bytes, UU in lines of 45), every byte through the one WireFilter into a
// MessageSink.
//
//   MessageWriter writer(sink, system);
//   writer.Line("Subject: x");
//   writer.Text(body);
//   writer.File(path, MIME_ENCODE);
//   writer.Finish();
// Each call answers false once the send has failed (the failure is reported already).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mail/mail_seam.h"
#include "mail/message/message_sink.h"
#include "mail/message/wire_filter.h"

namespace zankit::mail {

inline constexpr std::size_t kMimeChunkBytes = 11400;  // 200 lines of base64
inline constexpr std::size_t kUULineBytes = 45;

class MessageWriter {
public:
    MessageWriter(MessageSink& sink, MailSystem& system);

    bool Line(std::string_view text);
    bool Text(std::string_view bytes);
    // Streams the file's bytes base64 encoded (MIME_ENCODE) or as UU lines (UU_ENCODE).
    bool File(const std::string& path, std::int32_t encoding);
    // Hands on what the filter holds back.
    bool Finish();

private:
    bool Write(std::string_view bytes);
    bool WritePieces(FileReader& file, std::size_t pieceSize, std::int32_t encoding);

    MessageSink& sink_;
    MailSystem& system_;
    WireFilter filter_;
    bool sinkFailed_ = false;
};

}  // namespace zankit::mail
