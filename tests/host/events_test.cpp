// The connection point of clsSendMail, driven by a C++ sink as a VB or .NET host would.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

ComPtr<IConnectionPoint> MailConnectionPoint(IDispatch* mail) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(mail->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()))) {
        container->FindConnectionPoint(DIID___clsSendMail, point.Put());
    }
    return point;
}

// The cookies of the advised sinks, in the order the enumerator lists them.
std::vector<DWORD> Connections(IConnectionPoint* point) {
    std::vector<DWORD> cookies;
    ComPtr<IEnumConnections> connections;
    if (FAILED(point->EnumConnections(connections.Put()))) return cookies;
    for (CONNECTDATA data; connections->Next(1, &data, nullptr) == S_OK; data.pUnk->Release()) {
        cookies.push_back(data.dwCookie);
    }
    return cookies;
}

}  // namespace

TEST(Events, ClassInfoAndTheContainerNameOneConnectionPointThatAdvisesAndUnadvises) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(mail.As(classInfo, IID_IProvideClassInfo2), S_OK);
    GUID source = GUID_NULL;
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID___clsSendMail));
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.Put()), S_OK);
    BSTR name = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(FromBstr(name), L"clsSendMail");
    SysFreeString(name);

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(mail.As(container, IID_IConnectionPointContainer), S_OK);
    ComPtr<IConnectionPoint> point, other;
    ASSERT_EQ(container->FindConnectionPoint(DIID___clsSendMail, point.Put()), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, other.Put()), CONNECT_E_NOCONNECTION);
    IID iid;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID___clsSendMail));
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    ComPtr<IConnectionPoint> first, none;
    EXPECT_EQ(points->Next(1, first.Put(), nullptr), S_OK);
    ASSERT_TRUE(first);
    ComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(first->GetConnectionPointContainer(back.Put()), S_OK);
    EXPECT_EQ(points->Next(1, none.Put(), nullptr), S_FALSE);

    // A sink must answer IDispatch: the enumerator does not.
    DWORD cookie = 7;
    EXPECT_EQ(point->Advise(points.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(Connections(point.Get()), std::vector<DWORD>{cookie});
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_TRUE(Connections(point.Get()).empty());
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

namespace {

// A mail object with no sender and two sinks: Send refuses at once with SendFailed events, no network.
struct RefusingMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPoint> point = MailConnectionPoint(mail.Get());
    ComPtr<MailEventSink> first = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<MailEventSink> second = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    DWORD firstCookie = 0, secondCookie = 0;
    RefusingMail() {
        if (!point) return;
        point->Advise(first.Get(), &firstCookie);
        point->Advise(second.Get(), &secondCookie);
    }
    HRESULT Send() { return Call(mail.Get(), L"Send", DISPATCH_METHOD, {}).hr; }
};

}  // namespace

TEST(Events, AHandlerThatUnadvisesStopsTheEventsAtOnce) {
    RefusingMail refusing;
    ASSERT_TRUE(refusing.point);
    ASSERT_EQ(refusing.Send(), S_OK);
    const size_t before = refusing.first->events.size();
    ASSERT_GT(before, 0u);
    EXPECT_EQ(refusing.second->events.size(), before);
    // The first sink's handler unadvises both sinks during the next event.
    refusing.first->onEvent = [&](const MailEventSink::Event&) {
        refusing.point->Unadvise(refusing.firstCookie);
        refusing.point->Unadvise(refusing.secondCookie);
        refusing.first->onEvent = nullptr;
    };
    EXPECT_EQ(refusing.Send(), S_OK);
    EXPECT_EQ(refusing.first->events.size(), before + 1);
    EXPECT_EQ(refusing.second->events.size(), before);  // unadvised before its turn
    EXPECT_EQ(refusing.Send(), S_OK);
    EXPECT_EQ(refusing.first->events.size(), before + 1);
}

TEST(Events, ReleasingTheObjectWithSinksAdvisedFreesTheSinksAndTheModule) {
    {
        RefusingMail refusing;
        ASSERT_TRUE(refusing.point);
        EXPECT_EQ(refusing.first->References(), 2);  // ours and the connection point's
        refusing.point.Reset();
        refusing.mail.Reset();  // never unadvised
        EXPECT_EQ(refusing.first->References(), 1);
        EXPECT_EQ(refusing.second->References(), 1);
    }
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"zankit.dll"), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}
