// Acting like a user on the windows this process opens: find a top-level window by class and
// title with a timeout, press one of its buttons, or let a helper thread answer the first
// dialog that appears while the test thread is blocked inside a call.
#pragma once

#include <windows.h>

#include <string>

namespace hosttest {

// A visible top-level window of this process whose class is `className` (any class when
// null) and whose title contains `titlePart`; null when none appears within the timeout or
// before the optional event `stop` is set.
HWND WaitForOwnWindow(const wchar_t* className, const std::wstring& titlePart, DWORD timeoutMs, HANDLE stop = nullptr);

// Presses the button with this control id, or the first one whose text (without "&")
// equals `text`. False when the dialog has no such button.
bool PressButton(HWND dialog, int controlId);
bool PressButton(HWND dialog, const std::wstring& text);

// Text of a window (its title for a top-level window).
std::wstring WindowText(HWND window);

// Watches from its own thread for a dialog ("#32770") of this process and presses the
// button `controlId` once. Gives up after the timeout; the destructor stops the thread.
// As a guard around a call that should ask nothing, it keeps an unexpected dialog from
// blocking the test forever: Stop() then tells whether it had to answer one.
class DialogAnswerer {
public:
    DialogAnswerer(int controlId, DWORD timeoutMs = 15000);
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    ~DialogAnswerer();

    // Waits for the thread; true when a dialog appeared and the button was pressed.
    bool Answered();
    // Ends the watch at once; true when a dialog had been answered.
    bool Stop();
    // The title of the dialog that was answered.
    const std::wstring& Title() const { return title_; }

private:
    static DWORD WINAPI Run(void* self);
    void Join();

    int controlId_;
    DWORD timeoutMs_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    bool answered_ = false;
    std::wstring title_;
};

}  // namespace hosttest
