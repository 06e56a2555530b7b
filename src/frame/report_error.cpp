#include "frame/report_error.h"

#include <oleauto.h>

#include "frame/app_object.h"
#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "frame/dispatch_call.h"
#include "frame/error_info.h"

namespace zankit {

std::wstring StandardErrorText(HRESULT number, std::wstring_view description) {
    unsigned low = static_cast<unsigned>(number) & 0xFFFFu;
    std::wstring text = std::to_wstring(low);
    text += L":(";
    text += description;
    text += L")";
    return text;
}

std::wstring SourceTag(std::wstring_view errorSource, std::wstring_view fixedTag, int line) {
    std::wstring tag(errorSource);
    tag += fixedTag;
    tag += std::to_wstring(line);
    return tag;
}

void ReportError(const std::wstring& tag, const std::wstring& text) {
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(L"zanErrLogger.Log", &clsid))) {
        ComPtr<IDispatch> logger;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                       logger.PutVoid()))) {
            wchar_t methodName[] = L"CheckError";
            LPOLESTR names[] = {methodName};
            DISPID id = 0;
            if (SUCCEEDED(logger->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
                ComPtr<IDispatch> app;
                CreateAppObject(app.Put());
                // The tag and text go by reference: the logger may replace them, and whatever
                // they hold at the end is freed once, by their owners.
                Bstr tagValue(tag);
                Bstr textValue(text);
                VARIANT_BOOL first = VARIANT_FALSE;
                VARIANT_BOOL second = VARIANT_TRUE;
                // Arguments in reverse order: App, tag, text, False, True.
                VARIANT args[5];
                for (VARIANT& arg : args) VariantInit(&arg);
                V_VT(&args[4]) = VT_DISPATCH;
                V_DISPATCH(&args[4]) = app.Get();
                V_VT(&args[3]) = VT_BYREF | VT_BSTR;
                V_BSTRREF(&args[3]) = tagValue.InOut();
                V_VT(&args[2]) = VT_BYREF | VT_BSTR;
                V_BSTRREF(&args[2]) = textValue.InOut();
                V_VT(&args[1]) = VT_BYREF | VT_BOOL;
                V_BOOLREF(&args[1]) = &first;
                V_VT(&args[0]) = VT_BYREF | VT_BOOL;
                V_BOOLREF(&args[0]) = &second;
                InvokeMethod(logger.Get(), id, args, 5);
            }
        }
    }
    ClearErrorInfo();
}

void ReportFailure(const Failure& failure, std::wstring_view fixedTag) {
    ReportError(SourceTag(failure.source, fixedTag, 0), StandardErrorText(failure.number, failure.description));
}

void ReportFailure(const Failure& failure, std::wstring_view fixedTag, std::wstring_view context) {
    std::wstring text = StandardErrorText(failure.number, failure.description);
    text += L"|| ";
    text += context;
    ReportError(SourceTag(failure.source, fixedTag, 0), text);
}

}  // namespace zankit
