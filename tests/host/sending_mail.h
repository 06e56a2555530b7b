// A clsSendMail object driven through COM as a VB host with WithEvents drives it: the event
// sink advised, the events kept in order as text.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

namespace hosttest {

constexpr DISPID kSendSuccesful = 1;
constexpr DISPID kSendFailed = 2;
constexpr DISPID kStatus = 3;
constexpr DISPID kProgress = 4;

// A mail object with a sink advised on its events, aimed at 127.0.0.1:port.
struct SendingMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;

    explicit SendingMail(long port) {
        ComPtr<IConnectionPointContainer> container;
        if (mail && SUCCEEDED(mail->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
            SUCCEEDED(container->FindConnectionPoint(DIID___clsSendMail, point.Put()))) {
            point->Advise(sink.Get(), &cookie);
        }
        Set(L"SMTPHostValidation", Arg::Long(VALIDATE_HOST_SYNTAX));
        Set(L"SMTPHost", Arg::Text(L"127.0.0.1"));
        Set(L"SMTPPort", Arg::Long(port));
        Set(L"ConnectRetry", Arg::Long(1));
        Set(L"from", Arg::Text(L"sender@example.com"));
        Set(L"Recipient", Arg::Text(L"you@example.com"));
    }
    ~SendingMail() {
        if (point && cookie) point->Unadvise(cookie);
    }
    HRESULT Set(const wchar_t* name, const Arg& value) { return Put(mail.Get(), name, value).hr; }
    CallResult Do(const wchar_t* method) { return Call(mail.Get(), method, DISPATCH_METHOD, {}); }
    // Every event but Progress, in order.
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> seen;
        for (const auto& event : sink->events) {
            if (event.id == kStatus) seen.push_back(L"Status: " + event.text);
            if (event.id == kSendFailed) seen.push_back(L"SendFailed: " + event.text);
            if (event.id == kSendSuccesful) seen.push_back(L"SendSuccesful");
        }
        return seen;
    }
    long Count(const std::wstring& prefix, const std::wstring& inside = L"") const {
        const auto texts = Texts();
        return static_cast<long>(std::count_if(texts.begin(), texts.end(), [&](const std::wstring& t) {
            return t.rfind(prefix, 0) == 0 && t.find(inside) != std::wstring::npos;
        }));
    }
};

}  // namespace hosttest
