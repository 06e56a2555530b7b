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

ULONG CountConnections(IConnectionPoint* point, DWORD* firstCookie) {
    ComPtr<IEnumConnections> connections;
    if (FAILED(point->EnumConnections(connections.Put()))) return 0;
    ULONG count = 0;
    CONNECTDATA data;
    while (connections->Next(1, &data, nullptr) == S_OK) {
        if (count == 0 && firstCookie) *firstCookie = data.dwCookie;
        data.pUnk->Release();
        ++count;
    }
    return count;
}

}  // namespace

TEST(Events, ASinkAdvisesIsListedAndUnadvises) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ASSERT_TRUE(mail);
    ComPtr<IConnectionPoint> point = MailConnectionPoint(mail.Get());
    ASSERT_TRUE(point);
    IID iid;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID___clsSendMail));

    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    DWORD listed = 0;
    EXPECT_EQ(CountConnections(point.Get(), &listed), 1u);
    EXPECT_EQ(listed, cookie);

    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(CountConnections(point.Get(), nullptr), 0u);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

TEST(Events, TheContainerKnowsOnlyTheMailEventsAndListsThem) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(mail->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
    ComPtr<IConnectionPoint> other;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, other.Put()), CONNECT_E_NOCONNECTION);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    IConnectionPoint* first = nullptr;
    EXPECT_EQ(points->Next(1, &first, nullptr), S_OK);
    ASSERT_NE(first, nullptr);
    ComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(first->GetConnectionPointContainer(back.Put()), S_OK);
    first->Release();
    IConnectionPoint* none = nullptr;
    EXPECT_EQ(points->Next(1, &none, nullptr), S_FALSE);
}

TEST(Events, ClassInfoNamesTheDefaultSourceInterface) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(mail->QueryInterface(IID_IProvideClassInfo2, classInfo.PutVoid()), S_OK);
    GUID source = GUID_NULL;
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID___clsSendMail));
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.Put()), S_OK);
    BSTR name = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(FromBstr(name), L"clsSendMail");
    SysFreeString(name);
}

TEST(Events, ASinkWithoutDispatchIsRefused) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPoint> point = MailConnectionPoint(mail.Get());
    ASSERT_TRUE(point);
    ComPtr<IConnectionPointContainer> notASink;  // any object without IDispatch
    ASSERT_EQ(mail->QueryInterface(IID_IConnectionPointContainer, notASink.PutVoid()), S_OK);
    // The mail object itself is a dispatch object, so use a plain enumerator instead.
    ComPtr<IEnumConnectionPoints> plain;
    ASSERT_EQ(notASink->EnumConnectionPoints(plain.Put()), S_OK);
    DWORD cookie = 7;
    EXPECT_EQ(point->Advise(plain.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
}

namespace {

// A mail object with no sender: Send refuses at once with SendFailed events, no network.
struct RefusingMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPoint> point = MailConnectionPoint(mail.Get());
    ComPtr<MailEventSink> first = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<MailEventSink> second = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    DWORD firstCookie = 0;
    DWORD secondCookie = 0;
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
    ASSERT_FALSE(refusing.first->events.empty());
    const size_t before = refusing.first->events.size();
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
    HMODULE module = GetModuleHandleW(L"zankit.dll");
    {
        RefusingMail refusing;
        ASSERT_TRUE(refusing.point);
        module = GetModuleHandleW(L"zankit.dll");
        EXPECT_EQ(refusing.first->References(), 2);  // ours and the connection point's
        refusing.point.Reset();
        refusing.mail.Reset();  // never unadvised
        EXPECT_EQ(refusing.first->References(), 1);
        EXPECT_EQ(refusing.second->References(), 1);
    }
    ASSERT_NE(module, nullptr);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    EXPECT_EQ(canUnload(), S_OK);
}
