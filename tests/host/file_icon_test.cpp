// FileIcon.GetAssociatedIcon driven late bound as hosts call it, with both kinds of image
// list (test objects that record each call), the real shell's icons and type names.
#include <windows.h>
#include <oleauto.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gdi_count.h"
#include "host_support.h"
#include "recording_image_lists.h"

using namespace hosttest;

namespace {

constexpr HRESULT kBlankNameError = static_cast<HRESULT>(0x800A0000 | 35000);

struct IconCall {
    HRESULT hr = E_FAIL;
    HRESULT scode = S_OK;
    std::wstring typeName;  // what the by-reference argument holds afterwards
    std::wstring source;
    std::wstring description;
};

enum class SmallArg { Omitted, True, False };

// GetAssociatedIcon(file, list, typeName[, Small]) with VBScript-style variables for the
// by-reference arguments; typeName starts as "unchanged".
IconCall GetIcon(const std::wstring& file, IDispatch* list, SmallArg small = SmallArg::Omitted) {
    ComPtr<IDispatch> icon = Create(L"ZanKit.FileIcon");
    IconCall call;
    if (!icon) return call;
    VARIANT listVariable;
    VariantInit(&listVariable);
    if (list) {
        V_VT(&listVariable) = VT_DISPATCH;
        V_DISPATCH(&listVariable) = list;
        list->AddRef();
    }
    VARIANT typeVariable;
    VariantInit(&typeVariable);
    V_VT(&typeVariable) = VT_BSTR;
    V_BSTR(&typeVariable) = SysAllocString(L"unchanged");
    std::vector<Arg> args{Arg::Text(file), Arg::RefTo(&listVariable), Arg::RefTo(&typeVariable)};
    if (small != SmallArg::Omitted) args.push_back(Arg::Bool(small == SmallArg::True));
    CallResult result = Call(icon.Get(), L"GetAssociatedIcon", DISPATCH_METHOD, args);
    call.hr = result.hr;
    call.scode = result.exception.scode;
    call.source = result.Source();
    call.description = result.Description();
    if (V_VT(&typeVariable) == VT_BSTR) call.typeName = FromBstr(V_BSTR(&typeVariable));
    VariantClear(&typeVariable);
    VariantClear(&listVariable);
    return call;
}

std::wstring ShellTypeName(const wchar_t* file) {
    SHFILEINFOW info = {};
    SHGetFileInfoW(file, 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    return info.szTypeName;
}

const ImageListKind kKinds[] = {ImageListKind::ListImages, ImageListKind::Handle};

const char* KindName(ImageListKind kind) { return kind == ImageListKind::ListImages ? "ListImages" : "Handle"; }

}  // namespace

TEST(FileIcon, TwoFilesOfOneTypeAddOneImageKeyedByTheTypeName) {
    const std::wstring textType = ShellTypeName(L"x.txt");
    ASSERT_FALSE(textType.empty());
    for (ImageListKind kind : kKinds) {
        SCOPED_TRACE(KindName(kind));
        auto record = std::make_shared<ImageListRecord>();
        ComPtr<IDispatch> list = MakeImageList(kind, record);
        IconCall first = GetIcon(L"C:\\docs\\x.txt", list.Get());
        IconCall second = GetIcon(L"y.txt", list.Get());
        EXPECT_EQ(first.hr, S_OK);
        EXPECT_EQ(second.hr, S_OK);
        EXPECT_EQ(first.typeName, textType);
        EXPECT_EQ(second.typeName, textType);
        ASSERT_EQ(record->images.size(), 1u);
        EXPECT_EQ(record->images[0].key, textType);
        std::vector<std::wstring> expected =
            kind == ImageListKind::ListImages
                ? std::vector<std::wstring>{L"Count", L"Item(" + textType + L")", L"Add(" + textType + L")", L"Count",
                                            L"Item(" + textType + L")"}
                : std::vector<std::wstring>{L"ItemIndex(" + textType + L")", L"AddFromHandle(" + textType + L")",
                                            L"ItemIndex(" + textType + L")"};
        EXPECT_EQ(record->calls, expected);
        if (kind == ImageListKind::Handle) {
            EXPECT_EQ(record->images[0].imageType, 0);  // a bitmap
        }
    }
}

TEST(FileIcon, ThePictureIsTheSmallOrLargeIconDrawnWithTransparency) {
    struct Case {
        SmallArg small;
        int size;
    };
    const Case cases[] = {{SmallArg::Omitted, 16}, {SmallArg::True, 16}, {SmallArg::False, 32}};
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    for (ImageListKind kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(KindName(kind)) + " size " + std::to_string(c.size));
            auto record = std::make_shared<ImageListRecord>();
            ComPtr<IDispatch> list = MakeImageList(kind, record);
            ASSERT_EQ(GetIcon(L"notes.txt", list.Get(), c.small).hr, S_OK);
            ASSERT_EQ(record->images.size(), 1u);
            // Read after the call: the list's picture (or its copy) outlives the call.
            Pixels pixels = ImagePixels(record->images[0]);
            EXPECT_EQ(pixels.width, c.size);
            EXPECT_EQ(pixels.height, c.size);
            size_t drawn = pixels.CountDifferentFrom(background);
            EXPECT_GT(drawn, static_cast<size_t>(c.size)) << "the icon is missing";
            EXPECT_LT(drawn, pixels.values.size()) << "no transparent part shows the background";
        }
    }
}

TEST(FileIcon, ABlankFileNameRaises35000AndTouchesNothing) {
    for (const wchar_t* blank : {L"", L"   "}) {
        SCOPED_TRACE(testing::Message() << "[" << std::string(blank, blank + wcslen(blank)) << "]");
        auto record = std::make_shared<ImageListRecord>();
        ComPtr<IDispatch> list = MakeImageList(ImageListKind::ListImages, record);
        IconCall call = GetIcon(blank, list.Get());
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.scode, kBlankNameError);
        EXPECT_EQ(call.source, L"ZanKit");
        EXPECT_EQ(call.description, L"strFile cann't be NullString!");
        EXPECT_EQ(call.typeName, L"unchanged");
        EXPECT_TRUE(record->calls.empty());
    }
}

// The image list's errors: not found goes on and adds, an invalid key clears the type name,
// anything else ends the call; none reaches the caller.
TEST(FileIcon, ImageListErrorsDecideWhatHappensNext) {
    const std::wstring textType = ShellTypeName(L"x.txt");
    struct Case {
        const char* name;
        long number;
        bool added;
        bool typeNameKept;
    };
    const Case cases[] = {
        {"subscript out of range", 9, true, true},
        {"invalid key", 35603, false, false},
        {"invalid procedure call", 5, false, true},
    };
    for (ImageListKind kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(KindName(kind)) + ": " + c.name);
            auto record = std::make_shared<ImageListRecord>();
            record->lookupFailure = static_cast<HRESULT>(0x800A0000 | c.number);
            ComPtr<IDispatch> list = MakeImageList(kind, record);
            IconCall call = GetIcon(L"x.txt", list.Get());
            EXPECT_EQ(call.hr, S_OK);
            EXPECT_EQ(record->images.size(), c.added ? 1u : 0u);
            EXPECT_EQ(call.typeName, c.typeNameKept ? textType : L"");
        }
    }
    // Something that is no image list at all: the type name comes back, nothing raises.
    IconCall noList = GetIcon(L"x.txt", nullptr);
    EXPECT_EQ(noList.hr, S_OK);
    EXPECT_EQ(noList.typeName, textType);
}

TEST(FileIcon, TenThousandCallsLeaveTheGdiObjectCountAsItWas) {
    auto record = std::make_shared<ImageListRecord>();
    ComPtr<IDispatch> list = MakeImageList(ImageListKind::ListImages, record);
    ComPtr<IDispatch> icon = Create(L"ZanKit.FileIcon");
    ASSERT_TRUE(icon);
    VARIANT listVariable;
    VariantInit(&listVariable);
    V_VT(&listVariable) = VT_DISPATCH;
    V_DISPATCH(&listVariable) = list.Get();
    VARIANT typeVariable;
    VariantInit(&typeVariable);
    auto once = [&](const wchar_t* file) {
        return Call(icon.Get(), L"GetAssociatedIcon", DISPATCH_METHOD,
                    {Arg::Text(file), Arg::RefTo(&listVariable), Arg::RefTo(&typeVariable)})
            .hr;
    };
    // The first calls load the shell's image lists and add the images kept from then on.
    ASSERT_EQ(once(L"a.txt"), S_OK);
    ASSERT_EQ(once(L"b.zkneverseen"), S_OK);
    const long before = GdiObjectCount();
    ASSERT_GE(before, 0) << "no way to count GDI objects here";
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(once(i % 2 ? L"a.txt" : L"b.zkneverseen"), S_OK) << "call " << i;
    }
    const long after = GdiObjectCount();
    EXPECT_LE(after, before) << "GDI objects grew from " << before << " to " << after;
    EXPECT_EQ(record->images.size(), 2u);
    VariantClear(&typeVariable);
}
