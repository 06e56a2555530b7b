#include <gtest/gtest.h>

#include "mail/pending_errors.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::RecordingEvents;
using testing::ScriptedSystem;

TEST(PendingErrors, OrderKeptOneEntryPerTextWhateverItsCase) {
    PendingErrors errors;
    errors.Add("First");
    errors.Add("Second");
    errors.Add("FIRST");
    errors.Remove("not there");
    EXPECT_EQ(errors.Explanation(), "First\r\nSecond\r\n");
    errors.Remove("second");
    EXPECT_EQ(errors.Explanation(), "First\r\n");
}

struct Failures {
    PendingErrors errors;
    RecordingEvents events;
    ScriptedSystem system;
    FailureReporter reporter{errors, events, system};
};

TEST(FailureReporter, RaiseFailureSendsAllMessagesClosesTheSessionAndEmptiesTheList) {
    Failures f;
    int closes = 0;
    f.reporter.SetSessionCloser([&] { ++closes; });
    f.errors.Add("One");
    f.errors.Add("Server said no\r\n");
    f.reporter.RaiseFailure();
    EXPECT_EQ(f.events.failures, (std::vector<std::string>{"One\r\nServer said no\r\n\r\n"}));
    EXPECT_TRUE(f.errors.Empty());
    EXPECT_TRUE(f.reporter.Failed());
    EXPECT_EQ(closes, 1);
}

// The scripted clock advances only by sleeping; every pass pumps once, checks the flag, and
// sleeps 10 ms.
TEST(FailureReporter, WaitForFlag) {
    using Pump = std::function<void(Failures&, bool& flag)>;
    const Pump setAtThird = [](Failures& f, bool& flag) { flag = f.system.pumps == 3; };
    const Pump hairBack = [](Failures& f, bool& flag) {
        if (f.system.pumps == 1) f.system.clock -= 1e-9;  // rounding can do that; it is no midnight
        flag = f.system.pumps == 5;
    };
    const Pump fail = [](Failures& f, bool&) {
        f.errors.Add("socket error");
        f.reporter.RaiseFailure();
    };
    const std::string timeout = std::string(kTimeoutMessage) + "\r\n";
    // clang-format off
    const struct {
        const char* what;
        bool flag; long seconds; bool raise; double clock; Pump onPump;
        bool result; std::vector<std::string> failures; int pumps; int sleeps; int slack;
    } rows[] = {
        {"zero seconds, even with the flag set", true, 0, true, 1000, {}, false, {}, 0, 0, 0},
        {"flag already set", true, 5, true, 1000, {}, true, {}, 0, 0, 0},
        {"timeout reported", false, 2, true, 1000, {}, false, {timeout}, 200, 200, 1},
        {"timeout without report", false, 1, false, 1000, {}, false, {}, 100, 100, 1},
        {"across midnight the full time", false, 10, false, 86400 - 3, {}, false, {}, 1000, 1000, 1},
        {"flag set by the pump, no sleep after", false, 10, true, 1000, setAtThird, true, {}, 3, 2, 0},
        {"a clock a hair back", false, 10, true, 1000, hairBack, true, {}, 5, 4, 0},
        {"a failure during the wait ends it", false, 10, true, 1000, fail, false, {"socket error\r\n"}, 1, 1, 0},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Failures f;
        bool flag = row.flag;
        f.system.clock = row.clock;
        if (row.onPump) f.system.onPump = [&] { row.onPump(f, flag); };
        EXPECT_EQ(f.reporter.WaitForFlag(flag, row.seconds, row.raise), row.result);
        EXPECT_EQ(f.events.failures, row.failures);
        EXPECT_EQ(f.reporter.Failed(), !row.failures.empty());
        EXPECT_NEAR(f.system.pumps, row.pumps, row.slack);
        EXPECT_NEAR(f.system.sleeps, row.sleeps, row.slack);
    }
}

}  // namespace
}  // namespace zankit::mail
