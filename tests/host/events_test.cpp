// The connection point of clsSendMail, driven by C++ sinks as a VB or .NET host would. A mail
// object without a sender refuses Send at once with SendFailed events, without the network.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

// A mail object with its connection point and two advised sinks.
struct AdvisedMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPoint> point;
    ComPtr<MailEventSink> first = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<MailEventSink> second = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    DWORD firstCookie = 0, secondCookie = 0;
    AdvisedMail() {
        ComPtr<IConnectionPointContainer> container;
        if (FAILED(mail.As(container, IID_IConnectionPointContainer))) return;
        container->FindConnectionPoint(DIID___clsSendMail, point.Put());
        if (!point) return;
        point->Advise(first.Get(), &firstCookie);
        point->Advise(second.Get(), &secondCookie);
    }
    HRESULT Send() { return Call(mail.Get(), L"Send", DISPATCH_METHOD, {}).hr; }
};

}  // namespace

TEST(Events, AHandlerThatUnadvisesStopsTheEventsAtOnce) {
    AdvisedMail advised;
    ASSERT_TRUE(advised.point && advised.firstCookie && advised.secondCookie != advised.firstCookie);
    ASSERT_EQ(advised.Send(), S_OK);
    const size_t before = advised.first->events.size();
    ASSERT_GT(before, 0u);
    EXPECT_EQ(advised.second->events.size(), before);
    // The first sink's handler unadvises both sinks during the next event.
    advised.first->onEvent = [&](const MailEventSink::Event&) {
        advised.point->Unadvise(advised.firstCookie);
        advised.point->Unadvise(advised.secondCookie);
        advised.first->onEvent = nullptr;
    };
    EXPECT_EQ(advised.Send(), S_OK);
    EXPECT_EQ(advised.first->events.size(), before + 1);
    EXPECT_EQ(advised.second->events.size(), before);  // unadvised before its turn
    EXPECT_EQ(advised.point->Unadvise(advised.firstCookie), CONNECT_E_NOCONNECTION);
}

TEST(Events, ReleasingTheObjectWithSinksAdvisedFreesTheSinksAndTheModule) {
    {
        AdvisedMail advised;
        ASSERT_TRUE(advised.point);
        EXPECT_EQ(advised.first->References(), 2);  // ours and the connection point's
        advised.point.Reset();
        advised.mail.Reset();  // never unadvised
        EXPECT_EQ(advised.first->References(), 1);
        EXPECT_EQ(advised.second->References(), 1);
    }
    EXPECT_EQ(CanUnloadNow(), S_OK);
}
