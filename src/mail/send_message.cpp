// SendMailCore::Send: the checks, the envelope, the header block, the body, the attachments
// written through the message writer, the end of the data, and the result events.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "mail/address_validation.h"
#include "mail/dns/dns_discovery.h"
#include "mail/mail_core.h"
#include "mail/message/body_encoding.h"
#include "mail/message/message_compose.h"
#include "mail/message/message_writer.h"
#include "mail/message/wire_text.h"

namespace zankit::mail {
namespace {

// Below this many queued bytes an attachment counts as handed on.
constexpr std::size_t kDrainedBytes = 4096;
// Bytes the socket may hold queued before the writer waits: four base64 pieces. The queue stays
// bounded, so a server that stops reading ends the send with a timeout instead of the queue
// growing to the size of the file.
constexpr std::size_t kQueueLimit = 4 * 15600;

// The message writer's bytes go out over the session.
class SessionSink final : public MessageSink {
public:
    explicit SessionSink(MailSession& session) : session_(session) {}
    bool Deliver(std::string_view bytes) override { return session_.SendMessageData(bytes, kQueueLimit); }
    bool Failed() const override { return session_.Failed(); }
    void Fail(std::string_view description) override { session_.FailTransmit(description); }
    bool Connected() const override { return session_.SocketState() == kSocketConnected; }
    void Pump() override { session_.Pump(); }

private:
    MailSession& session_;
};

std::uint32_t SeedFrom(std::uint64_t ticks) { return static_cast<std::uint32_t>(ticks ^ (ticks >> 32)); }

constexpr std::string_view kEightBitNeeded =
    "Text outside ASCII with UU encoding needs a server that offers 8BITMIME; use MIME encoding";

// The first address of the envelope or the header whose local part is not ASCII; "" when none.
std::string FirstInternationalAddress(const MailSettings& s) {
    TextList addresses{s.From(), s.ReplyToAddress()};
    for (const TextList* list : {&s.Recipients(), &s.CcRecipients(), &s.BccRecipients()}) {
        addresses.insert(addresses.end(), list->begin(), list->end());
    }
    for (const std::string& address : addresses) {
        if (HasInternationalLocalPart(address)) return TrimSpaces(address);
    }
    return {};
}

// UU attachments follow the text unencoded: text or file names outside ASCII make it 8-bit.
bool NeedsEightBitText(const MailSettings& s) {
    if (s.EncodeType() == MIME_ENCODE) return false;
    const TextList& names = s.Attachments().Names();
    return HasNonAscii(s.Message()) ||
           std::any_of(names.begin(), names.end(), [](const std::string& name) { return HasNonAscii(name); });
}

}  // namespace

void SendMailCore::Send() {
    try {
        if (CheckAndRefuse()) return;
        Transmit();
    } catch (const std::exception& failure) {
        errors_.Add(failure.what());
        failures_.RaiseFailure();
    }
}

void SendMailCore::Transmit() {
    SessionFlags& flags = session_.Flags();
    const bool related = settings_.Attachments().Count() > 0 && LinkEmbeddedFiles(settings_);
    // The send works from a copy: a host that changes the settings inside an event changes the
    // next send, not this one.
    const MailSettings s(settings_);
    const bool multipart = s.EncodeType() == MIME_ENCODE && s.Attachments().Count() > 0;

    flags.totalBytes = EstimateMessageSize(s);
    // Counted from here: the estimate includes the greeting and login of a session opened now,
    // and starting the count later would let the percentage fall back.
    flags.bytesSent = 0;
    failures_.SetFailed(false);
    const std::string internationalAddress = FirstInternationalAddress(s);
    const bool eightBitText = NeedsEightBitText(s);
    session_.WantExtensions(HasNonAscii(s.Message()) || eightBitText || !internationalAddress.empty());
    // A kept session is used only while it matches the current settings; OpenSession decides.
    if (!OpenSessionWithToken()) {
        // A session that could not start because of a setting (no SMTP host and no exchanger
        // found) only records its complaint; the host must still hear that nothing was sent.
        if (!failures_.Failed() && !errors_.Empty()) failures_.RaiseFailure();
        return;
    }

    const ServerOffer& offer = session_.Offer();
    if (!internationalAddress.empty() && !offer.smtpUtf8) {
        RefuseSend("The address " + internationalAddress + " needs a server that offers SMTPUTF8; this one does not");
        return;
    }
    if (eightBitText && !offer.eightBitMime) {
        RefuseSend(std::string(kEightBitNeeded));
        return;
    }
    HeaderValues header;
    header.body =
        eightBitText ? BodyForm{"utf-8", BodyTransfer::EightBit} : ChooseBodyForm(s.Message(), offer.eightBitMime);
    std::string mailParameters;
    if (header.body.charset == "utf-8" && header.body.transfer == BodyTransfer::EightBit) {
        mailParameters += " BODY=8BITMIME";
    }
    if (!internationalAddress.empty()) mailParameters += " SMTPUTF8";

    std::string toLine;
    std::string ccLine;
    if (!SendEnvelope(s, mailParameters, toLine, ccLine)) return;

    header.multipart = multipart;
    header.related = related;
    if (multipart) header.boundary = MakeBoundary(system_->LocalNow());
    header.messageId = MakeMessageId(system_->UtcNow(), SeedFrom(system_->ClockTicks()), MessageIdHost(s));
    header.fromLine = FromLine(s);
    header.toLine = toLine;
    header.ccLine = ccLine;
    header.date = MailDate();

    flags.replyOK = false;
    SessionSink sink(session_);
    MessageWriter writer(sink, *system_);
    for (const std::string& line : HeaderLines(s, header)) writer.Line(line);
    writer.Line("");
    writer.Line(EncodeBody(s.Message(), header.body.transfer));
    if (s.Attachments().Count() > 0) writer.Line("");
    if (!SendAttachments(s, writer, header.boundary, related)) return;
    if (multipart) writer.Line("--" + header.boundary + "--");
    if (!writer.Finish()) return;

    if (!session_.Exchange(".", &SessionFlags::replyOK, s.MessageTimeout())) return;

    // The transmission is complete: the bytes of a closing QUIT raise no further percentage.
    flags.bytesSent = std::max(flags.bytesSent, flags.totalBytes);
    flags.lastPercent = 100;
    long complete = 100;
    events_.Progress(complete);
    std::string status = "Transmission Complete...";
    events_.Status(status);
    if (!flags.keepConnection) session_.CloseSession();
    events_.SendSuccesful();
}

void SendMailCore::RefuseSend(const std::string& description) {
    errors_.Add(description);
    failures_.RaiseFailure();
}

bool SendMailCore::SendEnvelope(const MailSettings& s, std::string_view mailParameters, std::string& toLine,
                                std::string& ccLine) {
    // Each command with the Status said before it leaves; DATA ends the envelope.
    std::vector<GroupCommand> commands;
    const std::string sender = "<" + WireAddress(s.From()) + ">" + std::string(mailParameters);
    commands.push_back({Command("MAIL FROM:", sender), "Sending Sender Information..."});
    std::string status = "Sending Recipient Information...";
    const auto giveList = [&](const TextList& addresses, const TextList& names, std::string& line) {
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            commands.push_back({Command("RCPT TO:", "<" + WireAddress(addresses[i]) + ">"), std::move(status)});
            status.clear();
            line += AddressEntry(addresses[i], i < names.size() ? names[i] : std::string());
            if (i + 1 < addresses.size()) line += ", \r\n\t";
        }
    };
    giveList(s.Recipients(), s.RecipientDisplayNames(), toLine);
    giveList(s.CcRecipients(), s.CcDisplayNames(), ccLine);
    for (const std::string& address : s.BccRecipients()) {
        commands.push_back({Command("RCPT TO:", "<" + WireAddress(TrimSpaces(address)) + ">"), std::move(status)});
        status.clear();
    }
    commands.push_back({"DATA", "Sending Message..."});

    const long timeout = s.MessageTimeout();
    if (session_.Pipelines()) return session_.ExchangeGroup(commands, timeout);
    for (GroupCommand& command : commands) {
        if (!command.status.empty()) events_.Status(command.status);
        const bool data = &command == &commands.back();
        if (!session_.Exchange(command.line, data ? &SessionFlags::dataReady : &SessionFlags::replyOK, timeout)) {
            return false;
        }
    }
    return true;
}

bool SendMailCore::SendAttachments(const MailSettings& s, MessageWriter& writer, const std::string& boundary,
                                   bool related) {
    const bool mime = s.EncodeType() == MIME_ENCODE;
    const AttachmentList& files = s.Attachments();
    for (std::size_t i = 0; i < files.Paths().size(); ++i) {
        const std::string& name = files.Names()[i];
        const bool embedded = files.EmbeddedFlags()[i];
        std::string status = (embedded ? "Sending Embedded File, " : "Sending Attachment, ") + name + "...";
        events_.Status(status);
        if (!mime) {
            writer.Line("begin 600 " + OneLine(name));
            if (!writer.File(files.Paths()[i], UU_ENCODE)) return false;
            // The zero-length line ends the UU data; without it decoders take "end" for data.
            writer.Line("`");
            writer.Line("end");
        } else {
            const std::string type = GetContentType(name);
            const std::string contentId = embedded && related ? ContentIdFor(name, i) : std::string();
            for (const std::string& line : AttachmentPartHeader(boundary, name, type, contentId)) {
                writer.Line(line);
            }
            if (!writer.File(files.Paths()[i], MIME_ENCODE)) return false;
            writer.Line("");
        }
        if (!writer.Finish() || !session_.WaitForQueueBelow(kDrainedBytes)) return false;
    }
    return true;
}

std::string SendMailCore::MessageIdHost(const MailSettings& s) {
    const std::string& server = s.SMTPHost();
    std::string name;
    try {
        if (reverseLookup_ && ParseDottedIPv4(server)) name = reverseLookup_(server);
    } catch (const std::exception&) {
        name.clear();
    }
    return name.empty() ? server : name;
}

}  // namespace zankit::mail
