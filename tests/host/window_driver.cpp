#include "window_driver.h"

#include <gtest/gtest.h>

namespace hosttest {

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

HWND FindDescendant(HWND parent, const wchar_t* className, int id) {
    for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
         child = FindWindowExW(parent, child, nullptr, nullptr)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, className) == 0 && (!id || GetDlgCtrlID(child) == id)) return child;
        if (HWND found = FindDescendant(child, className, id)) return found;
    }
    return nullptr;
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
