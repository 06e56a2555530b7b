// libFuzzer target for the reply assembler: server bytes cut into random pieces give the same
// replies as the bytes in one piece, every reply is whole, and no byte is lost or doubled.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mail/reply_assembler.h"

namespace {

using zankit::mail::kReplyTooLong;
using zankit::mail::ReplyAssembler;

void Check(bool condition) {
    if (!condition) std::abort();
}

// The text of every reply that is complete; a reply over the size cap ends the stream (the
// session ends there) and is recorded as an empty text.
void Drain(ReplyAssembler& assembler, std::vector<std::string>& replies) {
    if (!replies.empty() && replies.back().empty()) return;
    while (auto reply = assembler.NextReply()) {
        replies.push_back(reply->code == kReplyTooLong ? std::string() : reply->text);
        if (replies.back().empty()) return;
    }
}

// A reply ends in a line feed; in SMTP every line before the last continues the reply, in
// POP3 a reply is one line.
void CheckWhole(const std::string& reply, bool smtp) {
    Check(!reply.empty() && reply.back() == '\n');
    for (std::size_t start = 0; start < reply.size();) {
        const std::size_t end = reply.find('\n', start) + 1;
        Check(end == reply.size() || (smtp && end - start > 4 && reply[start + 3] == '-'));
        start = end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool smtp = input.ConsumeBool();
    ReplyAssembler pieces;
    ReplyAssembler whole;
    pieces.SetMode(smtp ? ReplyAssembler::Mode::Smtp : ReplyAssembler::Mode::Pop3);
    whole.SetMode(smtp ? ReplyAssembler::Mode::Smtp : ReplyAssembler::Mode::Pop3);

    std::string sent;
    std::vector<std::string> fromPieces;
    while (input.remaining_bytes() > 0) {
        const std::string piece = input.ConsumeRandomLengthString(64);
        pieces.Append(piece);
        sent += piece;
        Drain(pieces, fromPieces);
    }
    // Two line feeds close whatever is still open, even a continued line.
    pieces.Append("\n\n");
    Drain(pieces, fromPieces);
    whole.Append(sent + "\n\n");
    std::vector<std::string> fromWhole;
    Drain(whole, fromWhole);

    Check(fromPieces == fromWhole);
    if (!fromPieces.empty() && fromPieces.back().empty()) return 0;  // cut off at the cap
    std::string joined;
    for (const std::string& reply : fromPieces) {
        CheckWhole(reply, smtp);
        joined += reply;
    }
    Check(joined == sent + "\n\n");
    return 0;
}
