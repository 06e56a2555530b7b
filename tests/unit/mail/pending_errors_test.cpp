#include <gtest/gtest.h>

#include "mail/pending_errors.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::RecordingEvents;
using testing::ScriptedSystem;

TEST(PendingErrorsList, KeepsOrderAndOneEntryPerTextWhateverItsCase) {
    PendingErrors errors;
    errors.Add("First");
    errors.Add("Second");
    errors.Add("FIRST");
    errors.Remove("not there");
    ASSERT_EQ(errors.Messages().size(), 2u);
    EXPECT_EQ(errors.Explanation(), "First\r\nSecond\r\n");
    errors.Remove("second");
    EXPECT_EQ(errors.Explanation(), "First\r\n");
}

class FailureTest : public ::testing::Test {
protected:
    PendingErrors errors;
    RecordingEvents events;
    ScriptedSystem system;
    FailureReporter failures{errors, events, system};
};

TEST_F(FailureTest, RaiseFailureSendsAllMessagesThenEmptiesTheList) {
    int closes = 0;
    failures.SetSessionCloser([&] { ++closes; });
    errors.Add("One");
    errors.Add("Server said no\r\n");
    failures.RaiseFailure();
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0], "One\r\nServer said no\r\n\r\n");
    EXPECT_TRUE(errors.Empty());
    EXPECT_TRUE(failures.Failed());
    EXPECT_EQ(closes, 1);
}

TEST_F(FailureTest, ZeroSecondsReturnsFalseAtOnceEvenWithTheFlagSet) {
    bool flag = true;
    EXPECT_FALSE(failures.WaitForFlag(flag, 0, true));
    EXPECT_TRUE(events.failures.empty());
    EXPECT_EQ(system.pumps, 0);
}

TEST_F(FailureTest, FlagAlreadySetReturnsTrueWithoutPumping) {
    bool flag = true;
    EXPECT_TRUE(failures.WaitForFlag(flag, 5, true));
    EXPECT_EQ(system.pumps, 0);
}

TEST_F(FailureTest, TimeoutReportsThroughSendFailed) {
    bool flag = false;
    EXPECT_FALSE(failures.WaitForFlag(flag, 2, true));
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0], std::string(kTimeoutMessage) + "\r\n");
    EXPECT_TRUE(failures.Failed());
    // Every pass pumps once and sleeps 10 ms; the fake clock advances only by sleeping.
    EXPECT_EQ(system.sleeps, system.pumps);
    EXPECT_GE(system.sleeps, 199);
    EXPECT_LE(system.sleeps, 201);
}

TEST_F(FailureTest, TimeoutWithoutRaiseStaysQuiet) {
    bool flag = false;
    EXPECT_FALSE(failures.WaitForFlag(flag, 1, false));
    EXPECT_TRUE(events.failures.empty());
    EXPECT_FALSE(failures.Failed());
}

TEST_F(FailureTest, WaitAcrossMidnightLastsItsFullTime) {
    system.clock = 86400.0 - 3.0;
    bool flag = false;
    EXPECT_FALSE(failures.WaitForFlag(flag, 10, false));
    EXPECT_GE(system.sleeps, 999);
    EXPECT_LE(system.sleeps, 1001);
    EXPECT_NEAR(system.clock, 7.0, 0.05);
}

TEST_F(FailureTest, AClockThatStepsBackByAHairIsNoDayOfWaiting) {
    // Rounding can make a reading a hair smaller than the one before; that is no midnight.
    bool flag = false;
    system.clock = 1000.0;
    system.onPump = [&] {
        if (system.pumps == 1) system.clock -= 1e-9;
        if (system.pumps == 5) flag = true;
    };
    EXPECT_TRUE(failures.WaitForFlag(flag, 10, true));
    EXPECT_TRUE(events.failures.empty());
}

TEST_F(FailureTest, FlagSetByThePumpEndsTheWaitWithoutAnotherSleep) {
    bool flag = false;
    system.onPump = [&] {
        if (system.pumps == 3) flag = true;
    };
    EXPECT_TRUE(failures.WaitForFlag(flag, 10, true));
    EXPECT_EQ(system.pumps, 3);
    EXPECT_EQ(system.sleeps, 2);
}

TEST_F(FailureTest, FailureDuringTheWaitEndsIt) {
    bool flag = false;
    system.onPump = [&] {
        errors.Add("socket error");
        failures.RaiseFailure();
    };
    EXPECT_FALSE(failures.WaitForFlag(flag, 10, true));
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0], "socket error\r\n");
    EXPECT_EQ(system.pumps, 1);
}

}  // namespace
}  // namespace zankit::mail
