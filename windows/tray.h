// The notification-area icon of the main window and its popup menu: one class that keeps its
// NOTIFYICONDATAW and the last picture, adds itself again when the taskbar is re-created
// (TaskbarCreated) or refused it (its own retry timer on the owner window), routes its own
// messages, follows the operator's foreground window, and shows its menu so that the foreground
// returns where it was.
#pragma once
#include <windows.h>

#include <shellapi.h>

#include "ui/controls.h"
#include "ui/tray_rules.h"
#include "windows/owners.h"

class Win32TrayIcon : public TrayIcon {
public:
    Win32TrayIcon(HWND owner, HICON initialIcon);
    ~Win32TrayIcon() override;
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    void SetIcon(const IconImage& image) override;
    void SetHint(const std::wstring& hint) override;
    void ShowBalloon(const std::wstring& title, const std::wstring& text, std::uint32_t infoFlags,
                     std::uint32_t timeoutMs) override;

    HMENU PopupMenu1() const { return menu_.Get(); }
    // Adds the icon, once start-up has given it its picture and tip.
    void Show();
    // What the owner window does once the tray has seen a message.
    enum class Outcome {
        NotTray, // not the tray's: the window handles it itself
        Handled, // nothing more to do
        Click,   // the icon was clicked: the window runs TrayIcon1Click
    };
    // The tray's own messages: TaskbarCreated, its retry timer, and its callback, whose right click
    // opens PopupMenu1 when `menuOpens` (the form is there to take its commands).
    Outcome HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool menuOpens);

private:
    enum class Event { None, Click, ContextMenu };
    // EVENT_SYSTEM_FOREGROUND, out of context: called on this thread, only when the foreground moves.
    static void CALLBACK ForegroundChanged(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                           DWORD thread, DWORD time);
    // The mouse message of a tray callback, as the program sees it.
    Event OnCallback(LPARAM lParam);
    // Opens PopupMenu1 at the cursor; its commands come as WM_COMMAND to the owner, after the
    // foreground went back to the operator's window for every command but "Afficher".
    void ShowPopupMenu();
    // The retry timer's id is this object's address: none of the owner window's own timers
    // (small numbers, ui/shell_ids.h) can have it.
    UINT_PTR RetryTimerId() const { return reinterpret_cast<UINT_PTR>(this); }

    void Add();
    void AddIfMissing();
    void Modify(NOTIFYICONDATAW& data);
    NOTIFYICONDATAW data_{};
    bool added_ = false;
    bool shown_ = false;
    IconImage image_;
    HICON initialIcon_;
    win32::UniqueMenu menu_;
    UINT taskbarCreated_ = 0;
    TrayClickTracker clicks_;
    OperatorWindowTracker operatorWindow_;
    // Unhooked first in the destructor, while the owner window still exists.
    win32::UniqueWinEventHook foregroundHook_;
};

// A colour icon from the picture, with an all-black (all opaque) mask.
win32::UniqueIcon CreateIconFromImage(const IconImage& image);
