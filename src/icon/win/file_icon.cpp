#include "icon/win/file_icon.h"

#include <oleauto.h>

#include "frame/bstr.h"
#include "frame/variant.h"
#include "shell/file_type_name.h"
#include "icon/win/host_image_list.h"
#include "icon/icon_key.h"
#include "icon/win/icon_picture.h"

namespace zankit {
namespace {

std::wstring SystemUpperCase(std::wstring_view text) {
    std::wstring upper(text);
    if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

// What a failure of the image list means for the rest of the call.
enum class AfterFailure { Continue, ClearTypeName, End };

AfterFailure Judge(HRESULT hr) {
    long number = ErrorNumberOf(hr);
    if (number == 9 || number == 35601) return AfterFailure::Continue;  // subscript / element not found
    if (number == 35603) return AfterFailure::ClearTypeName;            // invalid key
    return AfterFailure::End;
}

// The image list the caller passed: an object, also by reference or inside a variable.
ComPtr<IDispatch> ImageListObject(const VARIANT* argument) {
    ComPtr<IDispatch> object;
    if (!argument) return object;
    const VARIANT* current = argument;
    while (V_VT(current) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(current)) current = V_VARIANTREF(current);
    Variant asObject;
    if (SUCCEEDED(VariantChangeType(asObject.Get(), const_cast<VARIANT*>(current), 0, VT_DISPATCH)) &&
        V_DISPATCH(asObject.Get())) {
        object = V_DISPATCH(asObject.Get());
    }
    return object;
}

// Adds the picture under the key unless the list has it. True when the list called the
// key invalid (the caller's type name is then cleared).
bool PutIntoImageList(IDispatch* list, const std::wstring& key, IPictureDisp* picture) {
    HostImageList images(list);
    Bstr keyText(key);
    bool exists = false;
    CallOutcome lookup = images.Contains(keyText.Get(), &exists);
    if (lookup.Failed()) {
        AfterFailure next = Judge(lookup.hr);
        if (next != AfterFailure::Continue) return next == AfterFailure::ClearTypeName;
        exists = false;
    }
    if (exists) return false;
    CallOutcome added = images.Add(keyText.Get(), picture);
    return added.Failed() && Judge(added.hr) == AfterFailure::ClearTypeName;
}

}  // namespace

FileIcon::FileIcon() : DispatchObject(IID__FileIcon, L"ZanKit.FileIcon") {}

// Failures after the name check end the call quietly; the host sees them as an unchanged
// image list or an empty type name.
STDMETHODIMP FileIcon::GetAssociatedIcon(BSTR file, VARIANT* imageList, BSTR* typeName, VARIANT_BOOL* small) {
    if (!typeName) return E_POINTER;
    return Guarded([&] {
        std::wstring fileName = FromBstr(file);
        if (IsBlankName(fileName)) return RaiseFrom(VbError(35000), L"ZanKit", L"strFile cann't be NullString!");
        bool smallIcon = !small || *small != VARIANT_FALSE;

        std::wstring key = IconKey(fileName, shell::FileTypeName(fileName), SystemUpperCase);
        HRESULT hr = AssignBstr(typeName, key);
        if (FAILED(hr)) return hr;

        ComPtr<IPictureDisp> picture;
        if (FAILED(ShellIconPicture(fileName, smallIcon, picture.Put()))) return S_OK;
        ComPtr<IDispatch> list = ImageListObject(imageList);
        if (!list) return S_OK;
        if (PutIntoImageList(list.Get(), key, picture.Get())) return AssignBstr(typeName, L"");
        return S_OK;
    });
}

HRESULT CreateFileIcon(REFIID iid, void** out) { return CreateAndQuery<FileIcon>(iid, out); }

}  // namespace zankit
