#include "recording_image_lists.h"

#include <oleauto.h>
#include <olectl.h>

#include "test_dispatch.h"

namespace hosttest {
namespace {

constexpr HRESULT kElementNotFound = static_cast<HRESULT>(0x800A0000 | 35601);

// The image's 1-based index, or 0.
long IndexOf(const ImageListRecord& record, const std::wstring& key) {
    for (size_t i = 0; i < record.images.size(); ++i) {
        if (record.images[i].key == key) return static_cast<long>(i + 1);
    }
    return 0;
}

long LookUp(ImageListRecord& record, const std::wstring& key) {
    if (FAILED(record.lookupFailure)) throw Raised{record.lookupFailure, L"lookup refused"};
    long index = IndexOf(record, key);
    if (index == 0) throw Raised{kElementNotFound, L"Element not found"};
    return index;
}

Pixels PicturePixels(IDispatch* pictureDispatch) {
    zankit::ComPtr<IPicture> picture;
    OLE_HANDLE handle = 0;
    if (!pictureDispatch || FAILED(pictureDispatch->QueryInterface(IID_IPicture, picture.PutVoid())) ||
        FAILED(picture->get_Handle(&handle))) {
        return {};
    }
    return ReadBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
}

zankit::ComPtr<IDispatch> ListImagesKind(std::shared_ptr<ImageListRecord> record) {
    auto collection = TestDispatch::Make();
    collection->Define(L"Count", [record](const std::vector<VARIANT*>&, VARIANT* result) {
        record->calls.push_back(L"Count");
        SetLong(result, static_cast<long>(record->images.size()));
    });
    collection->DefineDefault(L"Item", [record](const std::vector<VARIANT*>& args, VARIANT* result) {
        std::wstring key = TextOf(args.at(0));
        record->calls.push_back(L"Item(" + key + L")");
        long index = LookUp(*record, key);
        auto image = TestDispatch::Make();
        image->Define(L"Index", [index](const std::vector<VARIANT*>&, VARIANT* value) { SetLong(value, index); });
        SetObject(result, image.Get());
    });
    collection->Define(L"Add", [record](const std::vector<VARIANT*>& args, VARIANT*) {
        std::wstring key = TextOf(args.at(1));
        record->calls.push_back(L"Add(" + key + L")");
        record->images.push_back({key, zankit::ComPtr<IDispatch>(ObjectOf(args.at(2))), -1, {}});
    });
    auto list = TestDispatch::Make();
    zankit::ComPtr<IDispatch> keep(collection.Get());
    list->Define(L"ListImages",
                 [keep](const std::vector<VARIANT*>&, VARIANT* result) { SetObject(result, keep.Get()); });
    return zankit::ComPtr<IDispatch>(list.Get());
}

zankit::ComPtr<IDispatch> HandleKind(std::shared_ptr<ImageListRecord> record) {
    auto list = TestDispatch::Make();
    list->Define(L"ItemIndex", [record](const std::vector<VARIANT*>& args, VARIANT* result) {
        std::wstring key = TextOf(args.at(0));
        record->calls.push_back(L"ItemIndex(" + key + L")");
        SetLong(result, LookUp(*record, key));
    });
    list->Define(L"AddFromHandle", [record](const std::vector<VARIANT*>& args, VARIANT*) {
        std::wstring key = TextOf(args.at(2));
        record->calls.push_back(L"AddFromHandle(" + key + L")");
        auto handle = static_cast<UINT_PTR>(static_cast<ULONG>(LongOf(args.at(0))));
        record->images.push_back({key, {}, LongOf(args.at(1)), ReadBitmap(reinterpret_cast<HBITMAP>(handle))});
    });
    return zankit::ComPtr<IDispatch>(list.Get());
}

}  // namespace

size_t Pixels::CountDifferentFrom(COLORREF colour) const {
    uint32_t rgb = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    size_t count = 0;
    for (uint32_t value : values) count += (value & 0xFFFFFF) != rgb;
    return count;
}

Pixels ReadBitmap(HBITMAP bitmap) {
    Pixels pixels;
    BITMAP shape = {};
    if (GetObjectType(bitmap) != OBJ_BITMAP || !GetObjectW(bitmap, sizeof shape, &shape)) return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shape.bmWidth;
    info.bmiHeader.biHeight = -shape.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> values(static_cast<size_t>(shape.bmWidth) * static_cast<size_t>(shape.bmHeight));
    HDC dc = CreateCompatibleDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(shape.bmHeight), values.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != shape.bmHeight) return pixels;
    pixels.width = shape.bmWidth;
    pixels.height = shape.bmHeight;
    pixels.values = std::move(values);
    return pixels;
}

Pixels ImagePixels(const AddedImage& image) {
    return image.picture ? PicturePixels(image.picture.Get()) : image.copied;
}

zankit::ComPtr<IDispatch> MakeImageList(ImageListKind kind, std::shared_ptr<ImageListRecord> record) {
    return kind == ImageListKind::ListImages ? ListImagesKind(std::move(record)) : HandleKind(std::move(record));
}

}  // namespace hosttest
