#include "icon/win/icon_picture.h"

#include <commctrl.h>
#include <shellapi.h>

#include "frame/win_handles.h"

namespace zankit {
namespace {

// Keeps a GDI object selected into a DC for a scope and puts the previous one back, so
// the DC and the object can both be deleted afterwards.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    bool Selected() const { return previous_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A 24-bit top-down bitmap of the given size (no display needed).
HBITMAP CreateCanvasBitmap(HDC dc, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

}  // namespace

HRESULT ShellIconPicture(const std::wstring& file, bool small, IPictureDisp** picture) {
    if (!picture) return E_POINTER;
    *picture = nullptr;
    // Only the index into the system image list is asked for: no icon handle is made, so
    // there is none to destroy.
    SHFILEINFOW info = {};
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON);
    auto systemList = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(file.c_str(), 0, &info, sizeof info, flags));
    if (!systemList) return E_FAIL;
    int width = 0;
    int height = 0;
    if (!ImageList_GetIconSize(systemList, &width, &height)) return E_FAIL;

    MemoryDcHandle dc(CreateCompatibleDC(nullptr));
    if (!dc) return E_OUTOFMEMORY;
    GdiObjectHandle bitmap(CreateCanvasBitmap(dc.Get(), width, height));
    if (!bitmap) return E_OUTOFMEMORY;
    {
        Selection selection(dc.Get(), bitmap.Get());
        if (!selection.Selected()) return E_FAIL;
        RECT whole = {0, 0, width, height};
        FillRect(dc.Get(), &whole, GetSysColorBrush(COLOR_BTNFACE));  // a system brush: not deleted
        ImageList_Draw(systemList, info.iIcon, dc.Get(), 0, 0, ILD_TRANSPARENT);
    }
    GdiFlush();

    PICTDESC description = {};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = static_cast<HBITMAP>(bitmap.Get());
    HRESULT hr = OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture));
    if (SUCCEEDED(hr)) bitmap.Release();  // the picture deletes it when it goes
    return hr;
}

}  // namespace zankit
