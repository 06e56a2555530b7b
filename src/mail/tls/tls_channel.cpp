#include "mail/tls/tls_channel.h"

#include <algorithm>
#include <utility>

#include "mail/secret_text.h"

namespace zankit::mail {
namespace {

// Encrypted bytes allowed to wait for the network before Send takes no more plain text.
constexpr std::size_t kCipherBacklog = 64 * 1024;
// Bytes read from the inner channel per Receive, so one call stays short.
constexpr std::size_t kPullLimit = 64 * 1024;
constexpr std::size_t kPullChunk = 16 * 1024;

}  // namespace

TlsChannel::TlsChannel(std::unique_ptr<TcpChannel> inner, TlsEngineFactory engines)
    : inner_(std::move(inner)), engines_(std::move(engines)) {}

void TlsChannel::StartTls(const TlsRequest& request) {
    engine_ = engines_ ? engines_() : nullptr;
    WipeString(plainIn_);
    certificateUnchecked_ = false;
    cipherIn_.clear();
    if (!engine_) {
        failure_ = std::string(kTlsUnavailable);
        return;
    }
    phase_ = Phase::Handshake;
    Absorb(engine_->Begin(request.serverName, request.allowInvalidCertificate));
    Flush();
}

void TlsChannel::StartTlsOnConnect(const TlsRequest& request) {
    startOnConnect_ = true;
    pendingRequest_ = request;
}

ConnectStep TlsChannel::Open(const std::string& host, std::uint16_t port) {
    const bool start = startOnConnect_;
    Reset();
    startOnConnect_ = start;
    return StartWhenConnected(inner_->Open(host, port));
}

ConnectStep TlsChannel::CheckConnected() { return StartWhenConnected(inner_->CheckConnected()); }

ConnectStep TlsChannel::StartWhenConnected(ConnectStep step) {
    if (step.kind == ConnectStep::Connected && startOnConnect_) {
        startOnConnect_ = false;
        StartTls(pendingRequest_);
    }
    return step;
}

IoStep TlsChannel::Send(const char* data, std::size_t size) {
    if (phase_ == Phase::Plain && failure_.empty()) return inner_->Send(data, size);
    IoStep step;
    if (!Flush()) return Failure();
    if (phase_ != Phase::Secure || engine_->Renegotiating() || cipherOut_.size() >= kCipherBacklog) return step;
    const std::size_t take = std::min(size, engine_->MaxRecordPlainBytes());
    if (!engine_->Encrypt(std::string_view(data, take), cipherOut_)) {
        failure_ = std::string(kTlsRecordFailed);
        return Failure();
    }
    step.count = take;
    if (!Flush()) return Failure();
    return step;
}

IoStep TlsChannel::Receive(char* buffer, std::size_t size) {
    if (phase_ == Phase::Plain && failure_.empty()) return inner_->Receive(buffer, size);
    IoStep step;
    if (plainIn_.empty() && failure_.empty()) {
        if (Flush()) Pull();
        Flush();
    }
    if (!plainIn_.empty()) {
        step.count = plainIn_.copy(buffer, size);
        plainIn_.erase(0, step.count);
        return step;
    }
    if (!failure_.empty()) return Failure();
    step.closed = peerClosed_;
    return step;
}

void TlsChannel::Close() {
    if (phase_ == Phase::Secure && failure_.empty()) {
        // The closing alert goes out if the network takes it at once; nothing waits for it.
        cipherOut_ += engine_->Shutdown();
        Flush();
    }
    inner_->Close();
    Reset();
}

bool TlsChannel::WaitForActivity(unsigned milliseconds, bool forWriting) {
    if (phase_ != Phase::Plain && (!plainIn_.empty() || !failure_.empty())) return true;
    return inner_->WaitForActivity(milliseconds, forWriting || !cipherOut_.empty());
}

void TlsChannel::Reset() {
    engine_.reset();
    phase_ = Phase::Plain;
    startOnConnect_ = false;
    cipherIn_.clear();
    cipherOut_.clear();
    WipeString(plainIn_);
    peerClosed_ = false;
    certificateUnchecked_ = false;
    failure_.clear();
    notices_.clear();
}

bool TlsChannel::Flush() {
    while (!cipherOut_.empty() && failure_.empty()) {
        const IoStep step = inner_->Send(cipherOut_.data(), cipherOut_.size());
        if (step.failed) failure_ = step.error;
        if (step.count == 0) break;
        cipherOut_.erase(0, step.count);
    }
    return failure_.empty();
}

void TlsChannel::Pull() {
    char chunk[kPullChunk];
    std::size_t pulled = 0;
    while (pulled < kPullLimit && !peerClosed_) {
        const IoStep step = inner_->Receive(chunk, sizeof chunk);
        if (step.failed) {
            failure_ = step.error;
            return;
        }
        peerClosed_ = step.closed;
        if (step.count == 0) break;
        cipherIn_.append(chunk, step.count);
        pulled += step.count;
    }
    if (phase_ == Phase::Handshake && !cipherIn_.empty()) {
        const TlsStep step = engine_->Handshake(cipherIn_);
        Absorb(step);
        if (step.done && failure_.empty()) {
            phase_ = Phase::Secure;
            certificateUnchecked_ = step.certificateUnchecked;
        }
    }
    if (phase_ == Phase::Secure && !cipherIn_.empty()) {
        const TlsStep step = engine_->Decrypt(cipherIn_, plainIn_);
        Absorb(step);
        if (step.closed) peerClosed_ = true;
    }
    if (peerClosed_ && phase_ == Phase::Handshake && failure_.empty()) failure_ = std::string(kTlsClosedInHandshake);
}

std::string TlsChannel::TakeNotices() { return std::exchange(notices_, {}); }

void TlsChannel::Absorb(const TlsStep& step) {
    cipherOut_ += step.output;
    if (!step.notice.empty()) notices_ += step.notice + "\n";
    if (step.failed && failure_.empty()) failure_ = step.error;
}

IoStep TlsChannel::Failure() const {
    IoStep step;
    step.failed = true;
    step.error = failure_;
    return step;
}

}  // namespace zankit::mail
