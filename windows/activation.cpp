// Activation and focus of the program's two windows in one place: the main window keeps its
// focused control across deactivation as a dialog does, the application window (which owns the
// taskbar entry) hands the activation on to the main window or to its box, and the show from
// the tray brings the program to the front.
#include "windows/application.h"
#include "windows/main_window.h"

// Keep the focused control across deactivation, as a dialog does.
bool Win32MainWindow::OnActivate(bool active)
{
    if (!active) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus))
            lastFocus_ = focus;
        return false;
    }
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindowEnabled(target) || !IsWindowVisible(target))
        target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (target == nullptr)
        return false;
    SetFocus(target);
    return true;
}

void Win32MainWindow::BringApplicationToFront()
{
    HWND top = GetLastActivePopup(app_.Handle());
    if (top != nullptr && IsWindowVisible(top) && IsWindowEnabled(top))
        ::SetForegroundWindow(top);
}

void Win32MainWindow::SetForegroundWindow()
{
    ::SetForegroundWindow(hwnd_);
}

// The main window, or the message box in front of it.
void Win32Application::ActivateFront()
{
    HWND popup = GetLastActivePopup(hwnd_);
    if (popup == hwnd_ || !IsWindowVisible(popup))
        popup = main_;
    if (popup != nullptr && IsWindowVisible(popup) && IsWindowEnabled(popup))
        SetForegroundWindow(popup);
}
