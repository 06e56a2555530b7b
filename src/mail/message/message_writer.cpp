#include "mail/message/message_writer.h"

#include <algorithm>
#include <memory>

#include "mail/message/encodings.h"

namespace zankit::mail {

MessageWriter::MessageWriter(MessageSink& sink, MailSystem& system)
    : sink_(sink), system_(system), filter_([this](std::string_view bytes) {
          if (!sinkFailed_ && !sink_.Deliver(bytes)) sinkFailed_ = true;
      }) {}

bool MessageWriter::Line(std::string_view text) {
    std::string line(text);
    line.append("\r\n");
    return Write(line);
}

bool MessageWriter::Text(std::string_view bytes) { return Write(bytes); }

bool MessageWriter::Finish() {
    if (sinkFailed_ || sink_.Failed()) return false;
    filter_.Finish();
    return !sinkFailed_;
}

bool MessageWriter::Write(std::string_view bytes) {
    if (sinkFailed_ || sink_.Failed()) return false;
    filter_.Write(bytes);
    return !sinkFailed_;
}

bool MessageWriter::File(const std::string& path, std::int32_t encoding) {
    std::string error;
    const std::unique_ptr<FileReader> file = system_.OpenForReading(path, error);
    if (!file) {
        sink_.Fail(error);
        return false;
    }
    if (encoding == MIME_ENCODE) return WritePieces(*file, kMimeChunkBytes, encoding);
    if (encoding == UU_ENCODE) return WritePieces(*file, kUULineBytes, encoding);
    return true;
}

bool MessageWriter::WritePieces(FileReader& file, std::size_t pieceSize, std::int32_t encoding) {
    constexpr int kUULinesPerPump = 50;
    std::uint64_t remaining = file.Size();
    std::string piece;
    int pieces = 0;
    while (remaining > 0) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, pieceSize));
        piece.resize(size);
        std::size_t got = 0;
        while (got < size) {
            std::size_t count = 0;
            if (!file.Read(piece.data() + got, size - got, count) || count == 0) {
                sink_.Fail("Input past end of file");
                return false;
            }
            got += count;
        }
        if (!sink_.Connected()) {
            sink_.Fail("Socket not Open");
            return false;
        }
        const bool written = encoding == MIME_ENCODE ? Text(Base64EncodeBytes(piece)) : Line(UUEncodeLine(piece));
        if (!written) return false;
        remaining -= size;
        // Lets the bytes leave and the host's events run: after every base64 piece, after
        // every 50 UU lines.
        if (encoding == MIME_ENCODE || ++pieces % kUULinesPerPump == 0) sink_.Pump();
    }
    return true;
}

}  // namespace zankit::mail
