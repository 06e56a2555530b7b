#include "frame/error_info.h"

#include <oleauto.h>

#include <string>

#include "frame/com_ptr.h"

namespace zankit {

HRESULT RaiseError(REFIID iid, HRESULT hr, std::wstring_view source, std::wstring_view description) {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Put()))) {
        std::wstring sourceText(source);
        std::wstring descriptionText(description);
        create->SetGUID(iid);
        create->SetSource(sourceText.data());
        create->SetDescription(descriptionText.data());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.PutVoid()))) {
            SetErrorInfo(0, info.Get());
        }
    }
    return hr;
}

void ClearErrorInfo() { SetErrorInfo(0, nullptr); }

}  // namespace zankit
