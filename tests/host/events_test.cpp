// The connection point of clsSendMail, driven by C++ sinks as a VB or .NET host would. A mail
// object without a sender refuses Send at once with SendFailed events, without the network.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "sending_mail.h"

using namespace hosttest;

namespace {

// A mail object without a sender, with a second sink advised after the first.
struct AdvisedMail : SendingMail {
    ComPtr<MailEventSink> second = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    DWORD secondCookie = 0;
    AdvisedMail() : SendingMail(25) {
        Set(L"from", Arg::Text(L""));
        if (point) point->Advise(second.Get(), &secondCookie);
    }
};

}  // namespace

TEST(Events, AHandlerThatUnadvisesStopsTheEventsAtOnce) {
    AdvisedMail advised;
    ASSERT_TRUE(advised.cookie && advised.secondCookie && advised.secondCookie != advised.cookie);
    ASSERT_EQ(advised.Do(L"Send").hr, S_OK);
    const size_t before = advised.sink->events.size();
    ASSERT_GT(before, 0u);
    EXPECT_EQ(advised.second->events.size(), before);
    // The first sink's handler unadvises both sinks during the next event.
    advised.sink->onEvent = [&](const MailEventSink::Event&) {
        advised.point->Unadvise(advised.cookie);
        advised.point->Unadvise(advised.secondCookie);
        advised.sink->onEvent = nullptr;
    };
    EXPECT_EQ(advised.Do(L"Send").hr, S_OK);
    EXPECT_EQ(advised.sink->events.size(), before + 1);
    EXPECT_EQ(advised.second->events.size(), before);  // unadvised before its turn
    EXPECT_EQ(advised.point->Unadvise(advised.cookie), CONNECT_E_NOCONNECTION);
    advised.cookie = 0;
}

TEST(Events, ReleasingTheObjectWithSinksAdvisedFreesTheSinksAndTheModule) {
    {
        AdvisedMail advised;
        ASSERT_TRUE(advised.point);
        EXPECT_EQ(advised.sink->References(), 2);  // ours and the connection point's
        advised.point.Reset();
        advised.mail.Reset();  // never unadvised
        EXPECT_EQ(advised.sink->References(), 1);
        EXPECT_EQ(advised.second->References(), 1);
    }
    EXPECT_EQ(CanUnloadNow(), S_OK);
}
