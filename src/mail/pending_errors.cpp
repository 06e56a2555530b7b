#include "mail/pending_errors.h"

#include <algorithm>
#include <utility>

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr unsigned kPollMilliseconds = 10;

}  // namespace

void PendingErrors::Add(std::string_view message) {
    if (!Contains(message)) messages_.emplace_back(message);
}

void PendingErrors::Remove(std::string_view message) {
    const auto found = std::find_if(messages_.begin(), messages_.end(),
                                    [&](const std::string& m) { return EqualsNoCase(m, message); });
    if (found != messages_.end()) messages_.erase(found);
}

bool PendingErrors::Contains(std::string_view message) const {
    return std::any_of(messages_.begin(), messages_.end(),
                       [&](const std::string& m) { return EqualsNoCase(m, message); });
}

std::string PendingErrors::Explanation() const {
    std::string text;
    for (const auto& message : messages_) text.append(message).append("\r\n");
    return text;
}

FailureReporter::FailureReporter(PendingErrors& errors, MailEvents& events, WaitHooks& hooks)
    : errors_(errors), events_(events), hooks_(hooks) {}

void FailureReporter::SetSessionCloser(std::function<void()> closeOpenSession) {
    closeOpenSession_ = std::move(closeOpenSession);
}

void FailureReporter::RaiseFailure() {
    std::string explanation = errors_.Explanation();
    events_.SendFailed(explanation);
    if (closeOpenSession_) closeOpenSession_();
    failed_ = true;
    errors_.Clear();
}

void FailureReporter::ReportTimeout() {
    errors_.Add(kTimeoutMessage);
    RaiseFailure();
}

bool FailureReporter::WaitForFlag(const bool& flag, long seconds, bool raiseTimeout) {
    return Wait(flag, seconds, raiseTimeout, true);
}

bool FailureReporter::WaitForFlagAfterFailure(const bool& flag, long seconds) {
    return Wait(flag, seconds, false, false);
}

double FailureReporter::SecondsSince(double& previous) {
    // The clock restarts at midnight: a step back by more than half a day is the way across
    // it. A tiny step back is rounding (x87 arithmetic keeps more digits in a register than
    // in memory) and counts as no time at all, not as a whole day.
    const double now = hooks_.SecondsSinceMidnight();
    double step = now - previous;
    if (step < -kSecondsPerDay / 2) {
        step += kSecondsPerDay;
    } else if (step < 0) {
        step = 0;
    }
    previous = now;
    return step;
}

bool FailureReporter::Wait(const bool& flag, long seconds, bool raiseTimeout, bool endOnFailure) {
    if (seconds < 1) return false;
    double previous = hooks_.SecondsSinceMidnight();
    if (flag) return true;
    double elapsed = 0.0;
    while (true) {
        elapsed += SecondsSince(previous);
        if (elapsed >= static_cast<double>(seconds)) {
            if (raiseTimeout) ReportTimeout();
            return false;
        }
        if (endOnFailure && failed_) return false;
        hooks_.PumpEvents();
        if (flag) return true;
        hooks_.SleepMilliseconds(kPollMilliseconds);
    }
}

bool FailureReporter::WaitForDrain(const std::function<std::size_t()>& queued, std::size_t limit, long seconds) {
    double previous = hooks_.SecondsSinceMidnight();
    double still = 0.0;
    std::size_t noted = queued();
    while (noted > limit) {
        if (failed_) return false;
        if (seconds < 1 || still >= static_cast<double>(seconds)) {
            ReportTimeout();
            return false;
        }
        hooks_.PumpEvents();
        const std::size_t now = queued();
        const double step = SecondsSince(previous);
        still = now == noted ? still + step : 0.0;
        noted = now;
        if (noted > limit) hooks_.SleepMilliseconds(kPollMilliseconds);
    }
    return !failed_;
}

}  // namespace zankit::mail
