// SendMailCore::Send: the checks, the envelope, the header block, the body, the attachments
// streamed through the session, the end of the data, and the result events.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string>

#include "mail/dns_discovery.h"
#include "mail/mail_core.h"
#include "mail/message_compose.h"
#include "mail/wire_text.h"

namespace zankit::mail {
namespace {

constexpr std::size_t kQueueLimit = 4096;
constexpr unsigned kPollMilliseconds = 10;
constexpr double kSecondsPerDay = 86400.0;

UtcStamp UtcNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto today = floor<days>(now);
    const year_month_day date{today};
    const hh_mm_ss<milliseconds> time{floor<milliseconds>(now - today)};
    UtcStamp stamp;
    stamp.year = static_cast<int>(date.year());
    stamp.month = static_cast<int>(static_cast<unsigned>(date.month()));
    stamp.day = static_cast<int>(static_cast<unsigned>(date.day()));
    stamp.hour = static_cast<int>(time.hours().count());
    stamp.minute = static_cast<int>(time.minutes().count());
    stamp.second = static_cast<int>(time.seconds().count());
    stamp.millisecond = static_cast<int>(time.subseconds().count());
    return stamp;
}

std::uint32_t ClockSeed() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

std::string WithLineEnd(std::string text) {
    text.append("\r\n");
    return text;
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
    MailSettings& s = settings_;
    SessionFlags& flags = session_.Flags();
    const bool multipart = s.EncodeType() == MIME_ENCODE && s.AttachmentCount() > 0;
    const bool related = s.AttachmentCount() > 0 && LinkEmbeddedFiles(s);

    flags.totalBytes = EstimateMessageSize(s);
    // Counted from here: the estimate includes the greeting and login of a session opened now,
    // and starting the count later would let the percentage fall back.
    flags.bytesSent = 0;
    failures_.SetFailed(false);
    if (socket_.State() != kSocketConnected && !session_.OpenSession()) {
        // A session that could not start because of a setting (no SMTP host and no exchanger
        // found) only records its complaint; the host must still hear that nothing was sent.
        if (!failures_.Failed() && !errors_.Empty()) failures_.RaiseFailure();
        return;
    }

    std::string toLine;
    std::string ccLine;
    if (!SendEnvelope(toLine, ccLine)) return;

    std::string status = "Sending Message...";
    events_.Status(status);
    if (!session_.Exchange("DATA", &SessionFlags::dataReady, s.MessageTimeout())) return;

    HeaderValues header;
    header.multipart = multipart;
    header.related = related;
    if (multipart) header.boundary = MakeBoundary(system_->LocalNow());
    header.messageId = MakeMessageId(UtcNow(), ClockSeed(), MessageIdHost());
    header.fromLine = FromLine(s);
    header.toLine = toLine;
    header.ccLine = ccLine;
    header.date = MailDate();

    flags.replyOK = false;
    for (const std::string& line : HeaderLines(s, header)) session_.SendLine(line);
    session_.SendLine("");
    session_.SendData(WithLineEnd(MessageForWire(s.Message())));
    if (s.AttachmentCount() > 0) session_.SendLine("");
    if (!SendAttachments(header.boundary, related)) return;
    if (multipart) session_.SendLine("--" + header.boundary + "--");

    if (!session_.Exchange(".", &SessionFlags::replyOK, s.MessageTimeout())) return;

    // The transmission is complete: the bytes of a closing QUIT raise no further percentage.
    flags.bytesSent = std::max(flags.bytesSent, flags.totalBytes);
    flags.lastPercent = 100;
    long complete = 100;
    events_.Progress(complete);
    status = "Transmission Complete...";
    events_.Status(status);
    if (!flags.keepConnection) session_.CloseSession();
    events_.SendSuccesful();
}

bool SendMailCore::SendEnvelope(std::string& toLine, std::string& ccLine) {
    const MailSettings& s = settings_;
    const long timeout = s.MessageTimeout();
    std::string status = "Sending Sender Information...";
    events_.Status(status);
    if (!session_.Exchange("MAIL FROM: <" + OneLine(s.From()) + ">", &SessionFlags::replyOK, timeout)) {
        return false;
    }

    status = "Sending Recipient Information...";
    events_.Status(status);
    const auto giveList = [&](const TextList& addresses, const TextList& names, std::string& line) {
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (!session_.Exchange("RCPT TO: <" + OneLine(addresses[i]) + ">", &SessionFlags::replyOK, timeout)) {
                return false;
            }
            line += AddressEntry(addresses[i], i < names.size() ? names[i] : std::string());
            if (i + 1 < addresses.size()) line += ", \r\n\t";
        }
        return true;
    };
    if (!giveList(s.Recipients(), s.RecipientDisplayNames(), toLine)) return false;
    if (!giveList(s.CcRecipients(), s.CcDisplayNames(), ccLine)) return false;
    for (const std::string& address : s.BccRecipients()) {
        if (!session_.Exchange("RCPT TO: <" + OneLine(TrimSpaces(address)) + ">", &SessionFlags::replyOK, timeout)) {
            return false;
        }
    }
    return true;
}

bool SendMailCore::SendAttachments(const std::string& boundary, bool related) {
    const MailSettings& s = settings_;
    const bool mime = s.EncodeType() == MIME_ENCODE;
    for (std::size_t i = 0; i < s.AttachmentPaths().size(); ++i) {
        const std::string& name = s.AttachmentNames()[i];
        const bool embedded = s.EmbeddedFlags()[i];
        std::string status = (embedded ? "Sending Embedded File, " : "Sending Attachment, ") + name + "...";
        events_.Status(status);
        if (!mime) {
            session_.SendLine("begin 600 " + OneLine(name));
            session_.TransmitFile(s.AttachmentPaths()[i], UU_ENCODE);
            if (failures_.Failed()) return false;
            // The zero-length line ends the UU data; without it decoders take "end" for data.
            session_.SendLine("`");
            session_.SendLine("end");
        } else {
            const std::string type = GetContentType(name);
            for (const std::string& line : AttachmentPartHeader(boundary, name, type, embedded && related)) {
                session_.SendLine(line);
            }
            session_.TransmitFile(s.AttachmentPaths()[i], MIME_ENCODE);
            if (failures_.Failed()) return false;
            session_.SendLine("");
        }
        if (!WaitForQueueToDrain()) return false;
    }
    return true;
}

bool SendMailCore::WaitForQueueToDrain() {
    const long timeout = settings_.MessageTimeout();
    while (socket_.QueuedBytes() > kQueueLimit) {
        const std::size_t noted = socket_.QueuedBytes();
        const double start = pump_.SecondsSinceMidnight();
        while (socket_.QueuedBytes() == noted) {
            double waited = pump_.SecondsSinceMidnight() - start;
            if (waited < 0) waited += kSecondsPerDay;
            if (waited >= static_cast<double>(timeout)) {
                failures_.ReportTimeout();
                return false;
            }
            pump_.PumpEvents();
            if (failures_.Failed() || socket_.State() != kSocketConnected) return !failures_.Failed();
            pump_.SleepMilliseconds(kPollMilliseconds);
        }
    }
    return true;
}

std::string SendMailCore::MessageIdHost() {
    const std::string& server = settings_.SMTPHost();
    std::string name;
    try {
        if (reverseLookup_ && ParseDottedIPv4(server)) name = reverseLookup_(server);
    } catch (const std::exception&) {
        name.clear();
    }
    return name.empty() ? server : name;
}

}  // namespace zankit::mail
