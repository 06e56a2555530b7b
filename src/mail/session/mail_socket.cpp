#include "mail/session/mail_socket.h"

#include <algorithm>
#include <utility>

#include "mail/secret_text.h"

namespace zankit::mail {
namespace {

constexpr std::size_t kReceiveChunk = 16384;
constexpr std::size_t kSendChunk = 65536;
// How many chunks one poll moves at most in each direction, so one poll stays short.
constexpr int kChunksPerPoll = 16;

}  // namespace

MailSocket::MailSocket(std::unique_ptr<TcpChannel> channel, TlsEngineFactory engines)
    : channel_(std::make_unique<TlsChannel>(std::move(channel), std::move(engines))) {}

void MailSocket::Connect(const std::string& host, std::int32_t port, const std::optional<TlsRequest>& tlsFromStart) {
    Close();
    if (port < 1 || port > 65535) {
        Fail("Invalid port number");
        return;
    }
    if (tlsFromStart) {
        channel_->StartTlsOnConnect(*tlsFromStart);
        securing_ = true;
    }
    const ConnectStep step = channel_->Open(host, static_cast<std::uint16_t>(port));
    if (step.kind == ConnectStep::Failed) {
        Fail(step.error);
        return;
    }
    state_ = kSocketConnecting;
    linkPending_ = step.kind == ConnectStep::Pending;
    linkOpen_ = step.kind == ConnectStep::Connected;
    if (linkOpen_) pending_.push_back({Event::Connected, {}});
}

void MailSocket::StartTls(const TlsRequest& request) {
    std::erase_if(pending_, [](const Event& event) { return event.kind == Event::Data; });
    if (!linkOpen_) {
        // The server hung up right after agreeing.
        pending_.push_back({Event::Failure, std::string(kTlsClosedInHandshake)});
        return;
    }
    channel_->StartTls(request);
    securing_ = true;
}

void MailSocket::Close() {
    channel_->Close();
    ++generation_;
    state_ = kSocketClosed;
    linkOpen_ = false;
    linkPending_ = false;
    securing_ = false;
    DropOutgoing();
    pending_.clear();
}

void MailSocket::SendData(std::string_view bytes) {
    if (outgoing_.size() + bytes.size() > outgoing_.capacity()) {
        // Grown by hand, so the buffer given up is wiped rather than freed as it is.
        std::string larger;
        larger.reserve(std::max(2 * outgoing_.capacity(), outgoing_.size() + bytes.size()));
        larger.append(outgoing_);
        WipeString(outgoing_);
        outgoing_.swap(larger);
    }
    outgoing_.append(bytes);
}

bool MailSocket::WaitForActivity(unsigned milliseconds) {
    if (!linkOpen_ && !linkPending_) return false;
    if (!pending_.empty()) return true;  // events wait for delivery already
    return channel_->WaitForActivity(milliseconds, linkPending_ || QueuedBytes() > 0);
}

void MailSocket::Poll() {
    Transfer();
    const std::string notices = channel_->TakeNotices();
    for (std::size_t start = 0, end; (end = notices.find('\n', start)) != std::string::npos; start = end + 1) {
        pending_.push_back({Event::Notice, notices.substr(start, end - start)});
    }
    if (securing_ && linkOpen_ && Secure()) {
        securing_ = false;
        pending_.push_back({Event::Secured, {}});
    }
    Deliver();
}

void MailSocket::Fail(const std::string& description) {
    channel_->Close();
    linkOpen_ = false;
    linkPending_ = false;
    securing_ = false;
    DropOutgoing();
    pending_.push_back({Event::Failure, description});
}

void MailSocket::DropOutgoing() {
    WipeString(outgoing_);
    sentOffset_ = 0;
}

void MailSocket::Transfer() {
    if (linkPending_) {
        const ConnectStep step = channel_->CheckConnected();
        if (step.kind == ConnectStep::Pending) return;
        linkPending_ = false;
        if (step.kind == ConnectStep::Failed) {
            Fail(step.error);
            return;
        }
        linkOpen_ = true;
        pending_.push_back({Event::Connected, {}});
    }
    if (!linkOpen_) return;

    std::int64_t written = 0;
    for (int chunk = 0; chunk < kChunksPerPoll && QueuedBytes() > 0; ++chunk) {
        const std::size_t size = QueuedBytes() < kSendChunk ? QueuedBytes() : kSendChunk;
        const IoStep step = channel_->Send(outgoing_.data() + sentOffset_, size);
        if (step.failed) {
            Fail(step.error);
            return;
        }
        if (step.count == 0) break;
        sentOffset_ += step.count;
        written += static_cast<std::int64_t>(step.count);
    }
    // Drops what has left once it is the larger part, so large queues are not moved per chunk.
    if (sentOffset_ > 0 && sentOffset_ >= QueuedBytes()) {
        // Kept in a fresh buffer, so the old one with the sent bytes can be wiped.
        std::string rest(outgoing_, sentOffset_);
        WipeString(outgoing_);
        outgoing_.swap(rest);
        sentOffset_ = 0;
    }
    if (written > 0) {
        pending_.push_back({Event::Progress, {}, written, static_cast<std::int64_t>(QueuedBytes())});
    }

    std::string received;
    char buffer[kReceiveChunk];
    for (int chunk = 0; chunk < kChunksPerPoll; ++chunk) {
        const IoStep step = channel_->Receive(buffer, sizeof buffer);
        if (step.count > 0) {
            received.append(buffer, step.count);
            continue;
        }
        if (!received.empty()) pending_.push_back({Event::Data, std::move(received)});
        received.clear();
        if (step.failed) {
            Fail(step.error);
            return;
        }
        if (step.closed) {
            channel_->Close();
            linkOpen_ = false;
            DropOutgoing();
            pending_.push_back({Event::Closed, {}});
        }
        return;
    }
    if (!received.empty()) pending_.push_back({Event::Data, std::move(received)});
}

void MailSocket::Deliver() {
    const std::uint64_t generation = generation_;
    while (!pending_.empty() && generation == generation_) {
        Event event = std::move(pending_.front());
        pending_.pop_front();
        switch (event.kind) {
            case Event::Connected:
                state_ = kSocketConnected;
                if (events_) events_->OnConnect();
                break;
            case Event::Closed:
                state_ = kSocketPeerClosed;
                if (events_) events_->OnClose();
                break;
            case Event::Data:
                if (events_) events_->OnDataArrival(event.text);
                break;
            case Event::Progress:
                if (events_) events_->OnSendProgress(event.sent, event.remaining);
                break;
            case Event::Failure:
                state_ = kSocketError;
                if (events_) events_->OnError(event.text);
                break;
            case Event::Secured:
                if (events_) events_->OnSecured();
                break;
            case Event::Notice:
                if (events_) events_->OnTlsNotice(event.text);
                break;
        }
    }
}

}  // namespace zankit::mail
