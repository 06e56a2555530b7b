// Sends an HTML mail with an embedded image and an attachment through ZanKit.clsSendMail to an
// SMTP server on 127.0.0.1, printing the Status texts and a progress bar from the events.
// Usage: send_demo.exe PORT WORKDIR   (WORKDIR receives the image and the attachment)
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A 1x1 PNG image.
const unsigned char kPixel[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
                                0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
                                0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
                                0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
                                0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// The class's event ids.
constexpr DISPID kSendSuccesful = 1;
constexpr DISPID kSendFailed = 2;
constexpr DISPID kStatus = 3;
constexpr DISPID kProgress = 4;

std::string Narrow(const wchar_t* text, UINT length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

// Prints the events as they arrive.
class PrintingSink final : public IDispatch {
public:
    explicit PrintingSink(const IID& events) : events_(events) {}
    bool succeeded = false;
    bool failed = false;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; }  // lives on the stack
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        const VARIANT* arg = params && params->cArgs == 1 ? &params->rgvarg[0] : nullptr;
        if (id == kProgress && arg && V_VT(arg) == (VT_BYREF | VT_I4)) {
            ShowProgress(*V_I4REF(arg));
        } else if ((id == kStatus || id == kSendFailed) && arg && V_VT(arg) == (VT_BYREF | VT_BSTR)) {
            const BSTR text = *V_BSTRREF(arg);
            EndBar();
            std::printf("%s %s\n",
                        id == kStatus ? "Status:    " : "SendFailed:", Narrow(text, SysStringLen(text)).c_str());
            failed = failed || id == kSendFailed;
        } else if (id == kSendSuccesful) {
            EndBar();
            std::printf("SendSuccesful\n");
            succeeded = true;
        }
        std::fflush(stdout);
        return S_OK;
    }

private:
    void ShowProgress(long percent) {
        const int width = 40;
        const int filled = static_cast<int>(percent * width / 100);
        std::printf("\rProgress:   [%s%s] %3ld%%", std::string(filled, '#').c_str(),
                    std::string(width - filled, '.').c_str(), percent);
        barOpen_ = true;
    }
    void EndBar() {
        if (barOpen_) std::printf("\n");
        barOpen_ = false;
    }

    IID events_;
    ULONG references_ = 1;
    bool barOpen_ = false;
};

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* args, UINT count) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, kind == DISPATCH_PROPERTYPUT ? &named : nullptr, count,
                      kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &result, nullptr, nullptr);
    VariantClear(&result);
    return hr;
}

void SetText(IDispatch* mail, const wchar_t* name, const std::wstring& value) {
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    Invoke(mail, name, DISPATCH_PROPERTYPUT, &arg, 1);
    VariantClear(&arg);
}

void SetNumber(IDispatch* mail, const wchar_t* name, long value) {
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = value;
    Invoke(mail, name, DISPATCH_PROPERTYPUT, &arg, 1);
}

void SetFlag(IDispatch* mail, const wchar_t* name, bool value) {
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BOOL;
    V_BOOL(&arg) = value ? VARIANT_TRUE : VARIANT_FALSE;
    Invoke(mail, name, DISPATCH_PROPERTYPUT, &arg, 1);
}

std::wstring Widen(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    return out;
}

int Run(long port, const std::wstring& folder) {
    const std::wstring image = folder + L"\\logo.png";
    const std::wstring report = folder + L"\\report.csv";
    std::ofstream(image.c_str(), std::ios::binary).write(reinterpret_cast<const char*>(kPixel), sizeof kPixel);
    {
        std::ofstream out(report.c_str(), std::ios::binary);
        out << "month;orders\r\n";
        for (int i = 1; i <= 4000; ++i) out << "2024-" << (i % 12 + 1) << ";" << (i * 37 % 1000) << "\r\n";
    }

    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"ZanKit.clsSendMail", &clsid))) {
        std::printf("ZanKit.clsSendMail is not registered\n");
        return 1;
    }
    IDispatch* mail = nullptr;
    if (FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&mail)))) {
        std::printf("could not create ZanKit.clsSendMail\n");
        return 1;
    }
    IID events{};
    IProvideClassInfo2* info = nullptr;
    if (SUCCEEDED(mail->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)))) {
        info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
        info->Release();
    }
    PrintingSink sink(events);
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    if (SUCCEEDED(mail->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
        if (SUCCEEDED(container->FindConnectionPoint(events, &point))) point->Advise(&sink, &cookie);
        container->Release();
    }

    SetNumber(mail, L"SMTPHostValidation", 1);
    SetText(mail, L"SMTPHost", L"127.0.0.1");
    SetNumber(mail, L"SMTPPort", port);
    SetText(mail, L"from", L"zankit-demo@example.com");
    SetText(mail, L"FromDisplayName", L"ZanKit Demo");
    SetText(mail, L"Recipient", L"reader@example.com");
    SetText(mail, L"RecipientDisplayName", L"J\u00FCrgen Reader");
    SetText(mail, L"Subject", L"Monthly report with logo");
    SetFlag(mail, L"AsHTML", true);
    SetText(mail, L"Message",
            L"<html><body><img src=\"" + image + L"\"><p>Hello,</p><p>the report is attached.</p></body></html>");
    SetText(mail, L"Attachment", image + L";" + report);
    std::printf("Sending an HTML mail with an embedded image and an attachment to 127.0.0.1:%ld\n", port);
    Invoke(mail, L"Send", DISPATCH_METHOD, nullptr, 0);

    if (point) {
        point->Unadvise(cookie);
        point->Release();
    }
    mail->Release();
    return sink.succeeded && !sink.failed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: send_demo PORT WORKDIR\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    const int result = Run(std::atol(argv[1]), Widen(argv[2]));
    CoUninitialize();
    return result;
}
