#include "window_driver.h"

namespace hosttest {
namespace {

struct Search {
    const wchar_t* className;
    const std::wstring* titlePart;
    HWND found = nullptr;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
    Search& search = *reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    if (search.className && ClassOf(window) != search.className) return TRUE;
    if (WindowText(window).find(*search.titlePart) == std::wstring::npos) return TRUE;
    search.found = window;
    return FALSE;
}

std::wstring WithoutAmpersands(std::wstring text) {
    std::wstring plain;
    for (wchar_t c : text)
        if (c != L'&') plain += c;
    return plain;
}

struct ButtonSearch {
    const std::wstring* text;
    HWND found = nullptr;
};

BOOL CALLBACK MatchButton(HWND child, LPARAM data) {
    ButtonSearch& search = *reinterpret_cast<ButtonSearch*>(data);
    if (ClassOf(child) == L"Button" && WithoutAmpersands(WindowText(child)) == *search.text) {
        search.found = child;
        return FALSE;
    }
    return TRUE;
}

bool PressChild(HWND dialog, HWND button) {
    if (!button) return false;
    // What a click does: the dialog hears BN_CLICKED from the button.
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

}  // namespace

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

HWND WaitForOwnWindow(const wchar_t* className, const std::wstring& titlePart, DWORD timeoutMs, HANDLE stop) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        Search search{className, &titlePart};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (!stop) {
            Sleep(50);
        } else if (WaitForSingleObject(stop, 50) == WAIT_OBJECT_0) {
            return nullptr;
        }
    } while (GetTickCount64() < end);
    return nullptr;
}

bool PressButton(HWND dialog, int controlId) { return PressChild(dialog, GetDlgItem(dialog, controlId)); }

bool PressButton(HWND dialog, const std::wstring& text) {
    ButtonSearch search{&text};
    EnumChildWindows(dialog, MatchButton, reinterpret_cast<LPARAM>(&search));
    return PressChild(dialog, search.found);
}

DialogAnswerer::DialogAnswerer(int controlId, DWORD timeoutMs) : controlId_(controlId), timeoutMs_(timeoutMs) {
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer() {
    Stop();
    CloseHandle(stop_);
}

DWORD WINAPI DialogAnswerer::Run(void* self) {
    DialogAnswerer& answerer = *static_cast<DialogAnswerer*>(self);
    HWND dialog = WaitForOwnWindow(L"#32770", L"", answerer.timeoutMs_, answerer.stop_);
    if (dialog) {
        answerer.title_ = WindowText(dialog);
        answerer.answered_ = PressButton(dialog, answerer.controlId_);
    }
    return 0;
}

void DialogAnswerer::Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool DialogAnswerer::Stop() {
    SetEvent(stop_);
    Join();
    return answered_;
}

bool DialogAnswerer::Answered() {
    Join();
    return answered_;
}

}  // namespace hosttest
