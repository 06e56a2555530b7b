// libFuzzer target for the reply assembler: server bytes cut into random pieces give the same
// replies as the bytes in one piece, every reply is whole, and no byte is lost or doubled.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mail/session/reply_assembler.h"

namespace {

using zankit::mail::ReplyAssembler;

void Check(bool condition) {
    if (!condition) std::abort();
}

// The text of every complete reply; a reply over the size cap ends the stream (the session
// ends there) and is recorded as an empty text.
void Drain(ReplyAssembler& assembler, std::vector<std::string>& replies) {
    while (replies.empty() || !replies.back().empty()) {
        const auto reply = assembler.NextReply();
        if (!reply) return;
        replies.push_back(reply->code == zankit::mail::kReplyTooLong ? std::string() : reply->text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool smtp = input.ConsumeBool();
    ReplyAssembler pieces, whole;
    for (ReplyAssembler* assembler : {&pieces, &whole})
        assembler->SetMode(smtp ? ReplyAssembler::Mode::Smtp : ReplyAssembler::Mode::Pop3);
    std::string sent;
    std::vector<std::string> fromPieces, fromWhole;
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
    Drain(whole, fromWhole);
    Check(fromPieces == fromWhole);
    if (!fromPieces.empty() && fromPieces.back().empty()) return 0;  // cut off at the cap

    // A reply ends in a line feed; in SMTP every line before the last continues the reply
    // ("250-"), in POP3 a reply is one line.
    std::string joined;
    for (const std::string& reply : fromPieces) {
        Check(!reply.empty() && reply.back() == '\n');
        for (std::size_t start = 0, end; start < reply.size(); start = end) {
            end = reply.find('\n', start) + 1;
            Check(end == reply.size() || (smtp && end - start > 4 && reply[start + 3] == '-'));
        }
        joined += reply;
    }
    Check(joined == sent + "\n\n");
    return 0;
}
