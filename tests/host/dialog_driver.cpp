#include "dialog_driver.h"

#include <wincodec.h>

#include <gtest/gtest.h>

#include "frame/com_ptr.h"

namespace hosttest {
namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;

struct DialogSearch {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    if (TextOf(window) != *search->title) return TRUE;
    search->found = window;
    return FALSE;
}

struct DescendantSearch {
    const wchar_t* className;
    int id;
    HWND found;
};

BOOL CALLBACK MatchDescendant(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<DescendantSearch*>(data);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, search->className) != 0) return TRUE;
    if (search->id != 0 && GetDlgCtrlID(window) != search->id) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK AppendDescription(HWND window, LPARAM data) {
    auto* text = reinterpret_cast<std::wstring*>(data);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    *text += std::wstring(className) + L"#" + std::to_wstring(GetDlgCtrlID(window)) + L":" + TextOf(window) + L"\n";
    return TRUE;
}

}  // namespace

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

void SetTextOf(HWND control, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &ignored);
}

bool IsEnabledControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

HWND WaitForDialog(const std::wstring& title, DWORD timeoutMs) {
    DialogSearch search{&title, nullptr};
    WaitFor(
        [&] {
            EnumWindows(&MatchDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

HWND FindDescendant(HWND parent, const wchar_t* className, int id) {
    DescendantSearch search{className, id, nullptr};
    EnumChildWindows(parent, &MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring DescribeControls(HWND dialog) {
    std::wstring text;
    EnumChildWindows(dialog, &AppendDescription, reinterpret_cast<LPARAM>(&text));
    return text;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool WaitUntilClosed(HWND window, DWORD timeoutMs) {
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(kPollMs);
    }
}

bool SaveScreenshot(HWND window, const std::wstring& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);  // the display shows what was painted a moment later
    // The client area: on a display without a window manager the title bar is not drawn.
    RECT area{};
    if (!GetClientRect(window, &area)) return false;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    // Beside the test program: a file dialog changes the current directory while it is open.
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program);
    folder = folder.substr(0, folder.find_last_of(L'\\')) + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\" + name + L".png";
    bool saved = false;
    zankit::ComPtr<IWICImagingFactory> factory;
    zankit::ComPtr<IWICBitmap> bitmap;
    zankit::ComPtr<IWICStream> stream;
    zankit::ComPtr<IWICBitmapEncoder> encoder;
    zankit::ComPtr<IWICBitmapFrameEncode> frame;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   factory.PutVoid())) &&
        SUCCEEDED(factory->CreateBitmapFromHBITMAP(picture, nullptr, WICBitmapIgnoreAlpha, bitmap.Put())) &&
        SUCCEEDED(factory->CreateStream(stream.Put())) &&
        SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) &&
        SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.Put(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->WriteSource(bitmap.Get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
        SUCCEEDED(encoder->Commit())) {
        saved = true;
    }
    DeleteObject(picture);
    return saved;
}

DialogDriver::DialogDriver(std::wstring title, std::function<void(HWND)> act, DWORD timeoutMs)
    : title_(std::move(title)), act_(std::move(act)), timeoutMs_(timeoutMs), thread_([this] { Run(); }) {}

DialogDriver::~DialogDriver() {
    if (thread_.joinable()) thread_.join();
}

bool DialogDriver::Finish() {
    if (thread_.joinable()) thread_.join();
    return found_;
}

void DialogDriver::Run() {
    // The helper's own apartment, for the screenshot encoder.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HWND dialog = WaitForDialog(title_, timeoutMs_);
    found_ = dialog != nullptr;
    if (dialog) {
        act_(dialog);
        if (!WaitUntilClosed(dialog, 5000)) {
            ADD_FAILURE() << "the dialog was still open after the test's actions; cancelled";
            Press(dialog, IDCANCEL);
            if (!WaitUntilClosed(dialog, 5000)) PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
    }
    CoUninitialize();
}

}  // namespace hosttest
