#include "icon/win/host_image_list.h"

#include <oleauto.h>

#include "frame/error_info.h"

namespace zankit {
namespace {

constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// The answer of a call converted to a Boolean, as VB's CBool does.
CallOutcome AsBoolean(CallOutcome outcome, bool* value) {
    *value = false;
    if (outcome.Failed()) return outcome;
    Variant converted;
    HRESULT hr = VariantChangeType(converted.Get(), outcome.result.Get(), 0, VT_BOOL);
    if (FAILED(hr)) {
        outcome.hr = VbError(13);  // Type mismatch
        return outcome;
    }
    *value = V_BOOL(converted.Get()) != VARIANT_FALSE;
    return outcome;
}

ComPtr<IDispatch> ObjectIn(CallOutcome& outcome) {
    ComPtr<IDispatch> object;
    VARIANT* value = outcome.result.Get();
    if (V_VT(value) == VT_DISPATCH && V_DISPATCH(value)) object = V_DISPATCH(value);
    if (!object && !outcome.Failed()) outcome.hr = VbError(424);  // Object required
    return object;
}

}  // namespace

HostImageList::HostImageList(IDispatch* list) : list_(list) {
    CallOutcome listImages = CallByName(list, L"ListImages", kGet);
    if (listImages.Failed()) return;
    ComPtr<IDispatch> collection = ObjectIn(listImages);
    if (collection && !CallByName(collection.Get(), L"Count", kGet).Failed()) listImages_ = collection;
}

CallOutcome HostImageList::Contains(BSTR key, bool* exists) {
    if (!listImages_) return AsBoolean(CallByName(list_.Get(), L"ItemIndex", kGet, {TextArg(key)}), exists);
    *exists = false;
    CallOutcome item = CallDefault(listImages_.Get(), kGet, {TextArg(key)});
    ComPtr<IDispatch> image = ObjectIn(item);
    if (item.Failed()) return item;
    return AsBoolean(CallByName(image.Get(), L"Index", kGet), exists);
}

CallOutcome HostImageList::Add(BSTR key, IPictureDisp* picture) {
    if (listImages_) {
        return CallByName(listImages_.Get(), L"Add", DISPATCH_METHOD, {MissingArg(), TextArg(key), ObjectArg(picture)});
    }
    OLE_HANDLE handle = 0;
    ComPtr<IPicture> pictureObject;
    HRESULT hr = ComPtr<IPictureDisp>(picture).As(pictureObject, IID_IPicture);
    if (SUCCEEDED(hr)) hr = pictureObject->get_Handle(&handle);
    if (FAILED(hr)) return FailedCall(hr);
    return CallByName(list_.Get(), L"AddFromHandle", DISPATCH_METHOD,
                      {LongArg(static_cast<long>(handle)), LongArg(0), TextArg(key)});
}

}  // namespace zankit
