// Acts on dialogs like a user, from a helper thread while the test thread is blocked in the call.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace hosttest {

std::wstring TextOf(HWND window);
// The first descendant with this class name and, when not 0, this control id.
HWND FindDescendant(HWND parent, const wchar_t* className, int id = 0);
// Posts the click of a button (IDOK, IDCANCEL, IDNO) as the button itself would send it.
void Press(HWND dialog, int id);
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);  // false after the timeout

// Runs `act` on a helper thread once a visible dialog (#32770) with the title (any title when
// empty) is open. The dialog is closed afterwards (Cancel when still open, and a test failure),
// so a failing test never leaves a modal dialog waiting.
class DialogDriver {
public:
    DialogDriver(const std::wstring& title, std::function<void(HWND)> act, DWORD timeoutMs = 30000);
    ~DialogDriver() { Stop(); }
    bool Finish();  // waits for the helper; true when the dialog appeared
    bool Stop();    // ends the watch at once; true when the dialog had appeared

private:
    std::function<void(HWND)> act_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// Presses one button of the first dialog that appears. As a guard around a call that should ask
// nothing it keeps an unexpected dialog from blocking the test: Stop() tells whether one came.
class DialogAnswerer : public DialogDriver {
public:
    explicit DialogAnswerer(int controlId, DWORD timeoutMs = 15000)
        : DialogDriver(
              L"", [controlId](HWND dialog) { Press(dialog, controlId); }, timeoutMs) {}
};

}  // namespace hosttest
