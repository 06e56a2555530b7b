#include "window_driver.h"

#include <gtest/gtest.h>

namespace hosttest {
namespace {

struct Search {
    const wchar_t* className;
    int id;
    HWND found;
};

BOOL CALLBACK MatchDescendant(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, search->className) != 0 || (search->id && GetDlgCtrlID(window) != search->id)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

void SetTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
}

HWND FindDescendant(HWND parent, const wchar_t* className, int id) {
    Search search{className, id, nullptr};
    EnumChildWindows(parent, &MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
    return true;
}

DialogDriver::DialogDriver(const std::wstring& title, std::function<void(HWND)> act, DWORD timeoutMs)
    : act_(std::move(act)), thread_([this, title, timeoutMs] {
          HWND dialog = nullptr;
          WaitFor(
              [&] {
                  // The first visible one: hidden dialogs may share the class and title.
                  const wchar_t* name = title.empty() ? nullptr : title.c_str();
                  do dialog = FindWindowExW(nullptr, dialog, L"#32770", name);
                  while (dialog && !IsWindowVisible(dialog));
                  return stop_ || dialog;
              },
              timeoutMs);
          if (!dialog) return;
          found_ = true;
          act_(dialog);
          auto closed = [dialog] { return !IsWindow(dialog) || !IsWindowVisible(dialog); };
          if (!WaitFor(closed, 5000)) {
              ADD_FAILURE() << "the dialog " << testing::PrintToString(title) << " was still open; cancelled";
              Press(dialog, IDCANCEL);
              if (!WaitFor(closed, 5000)) PostMessageW(dialog, WM_CLOSE, 0, 0);
          }
      }) {}

bool DialogDriver::Finish() {
    if (thread_.joinable()) thread_.join();
    return found_;
}

bool DialogDriver::Stop() {
    stop_ = true;
    return Finish();
}

}  // namespace hosttest
