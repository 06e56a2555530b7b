#include "dialogs/win/window_placement.h"

namespace zankit::dialogs {
namespace {

RECT AreaToCenterOn(HWND dialog) {
    RECT area{};
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &area)) return area;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) return monitor.rcWork;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

}  // namespace

void CenterOnOwner(HWND dialog) {
    RECT window{};
    if (!dialog || !GetWindowRect(dialog, &window)) return;
    const RECT area = AreaToCenterOn(dialog);
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG left = area.left + ((area.right - area.left) - width) / 2;
    LONG top = area.top + ((area.bottom - area.top) - height) / 2;
    // Keep the title bar reachable when the owner sits near the edge of the screen.
    const int screenLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int screenTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    if (left < screenLeft) left = screenLeft;
    if (top < screenTop) top = screenTop;
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace zankit::dialogs
