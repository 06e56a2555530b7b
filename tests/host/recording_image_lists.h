// The two kinds of image list a host may hand to FileIcon.GetAssociatedIcon, as test
// objects that record each call and keep what was added:
// - ListImagesKind: a ListImages collection with Count, Item(key) (the default member; its
//   image has Index) and Add(index, key, picture);
// - HandleKind: ItemIndex(key) and AddFromHandle(handle, type, key), which copies the
//   bitmap during the call.
// A missing key raises 35601 (element not found), as the real controls do.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/com_ptr.h"

namespace hosttest {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> values;  // 0x00RRGGBB, top row first
    // How many pixels differ from the colour (a COLORREF).
    size_t CountDifferentFrom(COLORREF colour) const;
};

// The pixels of a bitmap (empty for anything that is not one).
Pixels ReadBitmap(HBITMAP bitmap);

struct AddedImage {
    std::wstring key;
    zankit::ComPtr<IDispatch> picture;  // kept by the ListImages kind
    long imageType = -1;                // AddFromHandle's type argument
    Pixels copied;                      // the HandleKind's copy of the bitmap
};

// The image as the list holds it now: the kept picture's bitmap, or the copy.
Pixels ImagePixels(const AddedImage& image);

struct ImageListRecord {
    std::vector<std::wstring> calls;  // e.g. L"Item(Text file)", L"Add(Text file)"
    std::vector<AddedImage> images;
    HRESULT lookupFailure = S_OK;  // when set, every key lookup raises it
};

enum class ImageListKind { ListImages, Handle };

zankit::ComPtr<IDispatch> MakeImageList(ImageListKind kind, std::shared_ptr<ImageListRecord> record);

}  // namespace hosttest
