// Acts on a dialog like a user, from a helper thread beside the host that shows it: waits
// for the dialog by its title, reads what a user sees, types, selects, presses buttons.
// Works for dialogs of this process and of a child process (a script host) alike.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace hosttest {

// The visible dialog window (class #32770) with exactly this title; nullptr after the timeout.
HWND WaitForDialog(const std::wstring& title, DWORD timeoutMs);

// The text a control shows (its window text, asked across processes too).
std::wstring TextOf(HWND window);
void SetTextOf(HWND control, const std::wstring& text);
bool IsEnabledControl(HWND dialog, int id);

// The first descendant of a window with this class name (and control id, when not 0).
HWND FindDescendant(HWND parent, const wchar_t* className, int id = 0);
// Every descendant as "class#id:text", one per line, for messages of failing tests.
std::wstring DescribeControls(HWND dialog);

// Posts the click of a button (IDOK, IDCANCEL) as the button itself would send it.
void Press(HWND dialog, int id);
// Waits until the window is gone; false after the timeout.
bool WaitUntilClosed(HWND window, DWORD timeoutMs);
// Waits until a condition holds, polling; false after the timeout.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// Captures the dialog as it shows on the screen into a PNG file; false when that failed.
bool SaveScreenshot(HWND window, const std::wstring& name);

// Runs `act` on a helper thread once a dialog with the title is open. Whatever `act` does,
// the dialog is closed afterwards (Cancel when still open), so a failing test never leaves a
// modal dialog waiting. Destroying the driver joins the thread.
class DialogDriver {
public:
    DialogDriver(std::wstring title, std::function<void(HWND)> act, DWORD timeoutMs = 30000);
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    ~DialogDriver();

    // Waits for the helper; true when it found the dialog.
    bool Finish();

private:
    void Run();

    std::wstring title_;
    std::function<void(HWND)> act_;
    DWORD timeoutMs_;
    bool found_ = false;
    std::thread thread_;
};

}  // namespace hosttest
