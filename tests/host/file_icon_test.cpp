// FileIcon.GetAssociatedIcon called late bound, with the real shell's icons and type names and test
// objects for a host's two kinds of image list: ListImages (Count, Item(key).Index, Add(, key, picture))
// and ItemIndex(key)/AddFromHandle(handle, type, key). A missing key raises 35601, as real lists do.
#include <windows.h>
#include <olectl.h>
#include <shellapi.h>
#include <winternl.h>

#include <memory>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

struct Pixels {
    int width = 0, height = 0;
    size_t drawn = 0;  // pixels that differ from the button face colour
};

Pixels ReadBitmap(HBITMAP bitmap) {
    BITMAP shape = {};
    if (GetObjectType(bitmap) != OBJ_BITMAP || !GetObjectW(bitmap, sizeof shape, &shape)) return {};
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), shape.bmWidth, -shape.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0}};
    std::vector<RGBQUAD> values(static_cast<size_t>(shape.bmWidth) * static_cast<size_t>(shape.bmHeight));
    HDC dc = CreateCompatibleDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, shape.bmHeight, values.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != shape.bmHeight) return {};
    Pixels pixels{shape.bmWidth, shape.bmHeight, 0};
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (RGBQUAD value : values) pixels.drawn += RGB(value.rgbRed, value.rgbGreen, value.rgbBlue) != face;
    return pixels;
}

// What a list holds: the picture object a ListImages collection keeps, or the bitmap that
// AddFromHandle copied during the call.
struct Image {
    std::wstring key;
    ComPtr<IDispatch> picture;
    Pixels copied;
    Pixels Read() const {
        ComPtr<IPicture> kept;
        OLE_HANDLE handle = 0;
        if (picture && SUCCEEDED(picture->QueryInterface(IID_IPicture, kept.PutVoid()))) kept->get_Handle(&handle);
        return picture ? ReadBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle))) : copied;
    }
};

struct ImageList {
    std::vector<Image> images;
    HRESULT lookupFailure = S_OK;  // when set, every lookup raises it
};
enum class Kind { ListImages, Handle };

ComPtr<IDispatch> MakeList(Kind kind, const std::shared_ptr<ImageList>& record) {
    auto lookUp = [record](VARIANT* keyArg) {
        if (FAILED(record->lookupFailure)) throw Raised{record->lookupFailure, L"lookup refused"};
        for (size_t i = 0; i < record->images.size(); ++i)
            if (record->images[i].key == TextOf(keyArg)) return static_cast<long>(i + 1);
        throw Raised{static_cast<HRESULT>(0x800A0000 | 35601), L"Element not found"};
    };
    if (kind == Kind::Handle) {
        return TestDispatch::Make({L"ItemIndex", L"AddFromHandle"}, [=](auto& name, const Args& args, VARIANT* out) {
            if (name == L"ItemIndex") return SetLong(out, lookUp(args.at(0)));
            if (LongOf(args.at(1)) != 0) throw Raised{E_INVALIDARG, L"the handle is no bitmap"};
            auto handle = static_cast<UINT_PTR>(static_cast<ULONG>(LongOf(args.at(0))));
            record->images.push_back({TextOf(args.at(2)), {}, ReadBitmap(reinterpret_cast<HBITMAP>(handle))});
        });
    }
    ComPtr<IDispatch> images =
        TestDispatch::Make({L"Item", L"Count", L"Add"}, [=](auto& name, const Args& args, VARIANT* out) {
            if (name == L"Count") return SetLong(out, static_cast<long>(record->images.size()));
            if (name == L"Item") {
                auto item = [index = lookUp(args.at(0))](auto&, auto&, VARIANT* value) { SetLong(value, index); };
                return SetObject(out, TestDispatch::Make({L"Index"}, item).Get());
            }
            IDispatch* picture = V_VT(args.at(2)) == VT_DISPATCH ? V_DISPATCH(args.at(2)) : nullptr;
            record->images.push_back({TextOf(args.at(1)), ComPtr<IDispatch>(picture), {}});
        });
    return TestDispatch::Make({L"ListImages"}, [=](auto&, auto&, VARIANT* out) { SetObject(out, images.Get()); });
}

struct IconCall {
    CallResult result;
    std::wstring typeName;  // the by-reference argument afterwards; it starts as "unchanged"
};

// GetAssociatedIcon(file, list, typeName[, Small]) with VBScript-style variables.
IconCall GetIcon(const std::wstring& file, IDispatch* list, Arg small = Arg::Missing()) {
    Arg listVariable, typeVariable = Arg::Text(L"unchanged");
    if (list) SetObject(&listVariable.value, list);
    std::vector<Arg> args{Arg::Text(file), Arg::RefTo(&listVariable.value), Arg::RefTo(&typeVariable.value)};
    if (V_VT(&small.value) != VT_ERROR) args.push_back(small);  // a missing Small is left out
    ComPtr<IDispatch> icon = Create(L"ZanKit.FileIcon");
    CallResult result = Call(icon.Get(), L"GetAssociatedIcon", DISPATCH_METHOD, args);
    return {std::move(result), TextOf(&typeVariable.value)};
}

std::wstring ShellTypeName(const wchar_t* file) {
    SHFILEINFOW info = {};
    SHGetFileInfoW(file, 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    return info.szTypeName;
}

// GetGuiResources, or where it answers 0 as Wine's does, the used entries of the GDI handle table
// Wine shares with the process (24-byte entries, used while the type byte is not 0). The table
// hangs off the 64-bit PEB at 0xF8; a 32-bit process finds its 64-bit TEB at 0xF70 of its own
// TEB, and that TEB's PEB at 0x60. -1 when neither answers.
long GdiObjectCount() {
    if (DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<long>(reported);
    auto* teb = reinterpret_cast<const char*>(NtCurrentTeb());
#ifdef _WIN64
    uint64_t peb = *reinterpret_cast<const uint64_t*>(teb + 0x60);
#else
    uint32_t teb64 = *reinterpret_cast<const uint32_t*>(teb + 0xF70);
    uint64_t peb = teb64 ? *reinterpret_cast<const uint64_t*>(static_cast<uintptr_t>(teb64) + 0x60) : 0;
#endif
    if (!peb || peb > UINTPTR_MAX) return -1;
    uint64_t table = *reinterpret_cast<const uint64_t*>(static_cast<uintptr_t>(peb) + 0xF8);
    if (!table || table > UINTPTR_MAX) return -1;
    const auto* entries = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(table));
    long used = 0;
    for (size_t i = 0; i < 0x10000; ++i) used += entries[i * 24 + 14] != 0;
    return used;
}

}  // namespace

// For both kinds of list: files of one type share one image of the asked size (a missing Small
// means the small one) keyed by the type name. Of the list's errors, not found goes on and adds,
// an invalid key clears the type name, anything else ends the call; none reaches the caller, and
// neither does a missing list. A blank file name raises before the list is touched.
TEST(FileIcon, OneImagePerTypeOfTheAskedSizeListErrorsAndABlankName) {
    const std::wstring textType = ShellTypeName(L"x.txt");
    ASSERT_FALSE(textType.empty());
    const struct {
        long number;
        bool added, typeNameKept;
    } failures[] = {{9, true, true}, {35603, false, false}, {5, false, true}};
    for (Kind kind : {Kind::ListImages, Kind::Handle}) {
        SCOPED_TRACE(kind == Kind::Handle ? "Handle" : "ListImages");
        for (int size : {16, 32}) {
            SCOPED_TRACE(size);
            auto record = std::make_shared<ImageList>();
            ComPtr<IDispatch> list = MakeList(kind, record);
            for (const wchar_t* file : {L"C:\\docs\\x.txt", L"y.txt"}) {
                IconCall call = GetIcon(file, list.Get(), size == 16 ? Arg::Missing() : Arg::Bool(false));
                EXPECT_EQ(call.result.hr, S_OK);
                EXPECT_EQ(call.typeName, textType);
            }
            ASSERT_EQ(record->images.size(), 1u);
            EXPECT_EQ(record->images[0].key, textType);
            // Read after the calls: the list's picture (or its copy) outlives them.
            Pixels pixels = record->images[0].Read();
            EXPECT_EQ(pixels.width, size);
            EXPECT_EQ(pixels.height, size);
            EXPECT_GT(pixels.drawn, static_cast<size_t>(size)) << "the icon is missing";
            EXPECT_LT(pixels.drawn, static_cast<size_t>(size * size)) << "no transparent part shows the background";
        }
        for (const auto& c : failures) {
            SCOPED_TRACE(c.number);
            auto record = std::make_shared<ImageList>();
            record->lookupFailure = static_cast<HRESULT>(0x800A0000 | c.number);
            IconCall call = GetIcon(L"x.txt", MakeList(kind, record).Get());
            EXPECT_EQ(call.result.hr, S_OK);
            EXPECT_EQ(record->images.size(), c.added ? 1u : 0u);
            EXPECT_EQ(call.typeName, c.typeNameKept ? textType : L"");
        }
    }
    IconCall noList = GetIcon(L"x.txt", nullptr);
    EXPECT_EQ(noList.result.hr, S_OK);
    EXPECT_EQ(noList.typeName, textType);
    auto record = std::make_shared<ImageList>();
    IconCall blank = GetIcon(L"   ", MakeList(Kind::ListImages, record).Get());
    EXPECT_EQ(blank.result.exception.scode, static_cast<HRESULT>(0x800A0000 | 35000));
    EXPECT_EQ(blank.result.Source(), L"ZanKit");
    EXPECT_EQ(blank.result.Description(), L"strFile cann't be NullString!");
    EXPECT_EQ(blank.typeName, L"unchanged");
    EXPECT_TRUE(record->images.empty());
}

TEST(FileIcon, TenThousandCallsLeaveTheGdiObjectCountAsItWas) {
    auto record = std::make_shared<ImageList>();
    ComPtr<IDispatch> list = MakeList(Kind::ListImages, record);
    // The first calls load the shell's image lists and add the two images kept from then on.
    const wchar_t* files[] = {L"a.txt", L"b.zkneverseen"};
    for (const wchar_t* file : files) ASSERT_EQ(GetIcon(file, list.Get()).result.hr, S_OK);
    const long before = GdiObjectCount();
    ASSERT_GE(before, 0) << "no way to count GDI objects here";
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(GetIcon(files[i % 2], list.Get()).result.hr, S_OK) << "call " << i;
    EXPECT_LE(GdiObjectCount(), before);
    EXPECT_EQ(record->images.size(), 2u);
}
