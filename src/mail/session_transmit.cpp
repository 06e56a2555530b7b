// MailSession::TransmitFile: a file's bytes streamed to the server, base64 in pieces of
// 11400 bytes (each followed by a short wait for the socket's progress report, so the
// outgoing queue stays small) or UU in lines of 45 bytes.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

#include "mail/encodings.h"
#include "mail/mail_session.h"
#include "mail/wire_text.h"

namespace zankit::mail {
namespace {

constexpr long kProgressWaitSeconds = 2;
constexpr int kUULinesPerPump = 50;

}  // namespace

void MailSession::TransmitFile(const std::string& path, std::int32_t encoding) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        FailTransmit("File not found");
        return;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    file.seekg(0, std::ios::beg);
    if (length < 0 || !file) {
        FailTransmit("Input past end of file");
        return;
    }
    std::uint64_t remaining = static_cast<std::uint64_t>(length);
    std::string piece;

    if (encoding == MIME_ENCODE) {
        while (remaining > 0) {
            const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kMimeChunkBytes));
            flags_.sendProgressed = false;
            piece.resize(size);
            if (!file.read(piece.data(), static_cast<std::streamsize>(size))) {
                FailTransmit("Input past end of file");
                return;
            }
            if (socket_.State() != kSocketConnected) {
                FailTransmit("Socket not Open");
                return;
            }
            socket_.SendData(Base64EncodeBytes(piece));
            remaining -= size;
            failures_.WaitForFlag(flags_.sendProgressed, kProgressWaitSeconds, false);
        }
    } else if (encoding == UU_ENCODE) {
        int lines = 0;
        while (remaining > 0) {
            const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kUULineBytes));
            piece.resize(size);
            if (!file.read(piece.data(), static_cast<std::streamsize>(size))) {
                FailTransmit("Input past end of file");
                return;
            }
            if (socket_.State() != kSocketConnected) {
                FailTransmit("Socket not Open");
                return;
            }
            // The length character of a 14-byte line is ".", doubled like any line starting so.
            socket_.SendData(DoubleLeadingDot(UUEncodeLine(piece)) + "\r\n");
            remaining -= size;
            if (++lines % kUULinesPerPump == 0) Pump();
        }
    }
}

void MailSession::FailTransmit(const std::string& description) {
    errors_.Add(description);
    failures_.RaiseFailure();
    failures_.SetFailed(true);
}

}  // namespace zankit::mail
