// The pending-error list of a mail object, the failure report that empties it into one
// SendFailed event, and the polling wait for a flag set by nested event handlers.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/mail_events.h"
#include "mail/mail_seam.h"

namespace zankit::mail {

// Messages in the order added, each at most once (compared without regard to case).
class PendingErrors {
public:
    void Add(std::string_view message);
    void Remove(std::string_view message);
    bool Contains(std::string_view message) const;
    bool Empty() const { return messages_.empty(); }
    const std::vector<std::string>& Messages() const { return messages_; }
    // Every message followed by CR LF.
    std::string Explanation() const;
    void Clear() { messages_.clear(); }

private:
    std::vector<std::string> messages_;
};

inline constexpr std::string_view kTimeoutMessage = "Timeout occurred: The SMTP Host did not respond to the request";

// RaiseFailure, ReportTimeout, WaitForFlag and the Failed flag of one mail object.
class FailureReporter {
public:
    FailureReporter(PendingErrors& errors, MailEvents& events, WaitHooks& hooks);

    // Run by RaiseFailure after SendFailed when a session is open; the session code installs it.
    void SetSessionCloser(std::function<void()> closeOpenSession);

    bool Failed() const { return failed_; }
    void SetFailed(bool failed) { failed_ = failed; }

    // SendFailed with every pending message, closes an open session, sets Failed, empties the list.
    void RaiseFailure();
    // Adds the timeout message, then RaiseFailure.
    void ReportTimeout();

    // Waits until flag is true, letting pending events run once and sleeping 10 ms per pass.
    // False at once for seconds below 1, when Failed is set, or when the time runs out (which
    // reports a timeout when raiseTimeout is set). A wait across midnight lasts its full time.
    bool WaitForFlag(const bool& flag, long seconds, bool raiseTimeout);
    // The same wait, which a failure does not end (the reply to QUIT after a failure).
    bool WaitForFlagAfterFailure(const bool& flag, long seconds);
    // Waits while queued() is above limit. The time counts only while queued() stays the same,
    // so a server that takes bytes slowly is waited for, and one that takes none for seconds
    // ends the wait with a timeout report. False on that timeout or when Failed is set.
    bool WaitForDrain(const std::function<std::size_t()>& queued, std::size_t limit, long seconds);

private:
    bool Wait(const bool& flag, long seconds, bool raiseTimeout, bool endOnFailure);
    // Seconds since the previous reading of the clock, across midnight.
    double SecondsSince(double& previous);

    PendingErrors& errors_;
    MailEvents& events_;
    WaitHooks& hooks_;
    std::function<void()> closeOpenSession_;
    bool failed_ = false;
};

}  // namespace zankit::mail
