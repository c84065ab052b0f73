// TForm1's window: owned by the application window, created hidden with its controls laid out for
// its DPI; it owns the timers, the tray icon and its menu, routes window messages to the form's
// handlers with plain switches, and binds the MainWindow seam.
#pragma once
#include <windows.h>

#include <memory>

#include "monitor/Unit1.h"
#include "ui/form_layout.h"
#include "ui/power_rule.h"
#include "windows/application.h"
#include "windows/base_window.h"
#include "windows/controls.h"
#include "windows/owners.h"
#include "windows/tray.h"

class Win32MainWindow : public MainWindow, private win32::BaseWindow {
public:
    explicit Win32MainWindow(Win32Application& app);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    bool Created() const { return hwnd_ != nullptr; }
    FormControls Controls();
    // From here on the window's events reach the form's handlers.
    void Attach(TForm1& form) { form_ = &form; }
    // Once the message loop has ended (or the session), nothing reaches the form any more,
    // not even through the loop of a box that its shutdown opens.
    void Detach() { form_ = nullptr; }
    // The tray icon appears once start-up has drawn it.
    void ShowTrayIcon() { tray_->Show(); }

    void AddToolWindowStyle() override;
    void SetFixedBorder() override;
    void SetOpacity(std::uint8_t alpha) override;
    void SetWindowPos(int x, int y, int cx, int cy, std::uint32_t flags) override;
    void SetDesignedClientSize() override;
    void RequestCentring() override { centreRequested_ = true; }
    bool Visible() const override { return visible_; }
    void Show() override;
    void Hide() override;
    void ShowApplicationWindow(int showCommand) override;
    void SetNormalState() override;
    void BringApplicationToFront() override;
    void SetForegroundWindow() override;

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void ReportError(const std::wstring& message) override { app_.ReportError(message); }
    void OnCommand(int id, int code, HWND control);
    void OnTimer(UINT_PTR id);
    bool OnActivate(bool active);
    void Run(void (TForm1::*handler)());
    void DeviceWatchTick();
    void OnPortOpened(std::uint32_t ticket, const PortOpenOutcome& outcome);
    void RegisterSessionNotifications();

    void CreateControls();
    void AttachControls();
    void ApplyLayout();
    void ApplyFontsAndLayout();
    void OnDpiChanged(int dpi, const RECT& suggested);
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

    Win32Application& app_;
    int dpi_ = kDesignDpi;
    win32::UniqueFont font_;
    win32::UniqueFont memoFont_;
    HBRUSH memoBrush_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool visible_ = false;
    bool centreRequested_ = true;
    bool sessionNotifications_ = false;
    // Modern Standby sends sleep and resume only to the windows registered for them.
    win32::UniqueSuspendResumeNotification suspendResumeNotification_;
    PowerEvents power_;
    TForm1* form_ = nullptr;

    // The controls the form reads and writes, attached by id once they exist.
    Win32ComboBox cmbPorts_, cmbBaudRate_;
    Win32RadioButton rbKeyboard_, rbClipboard_;
    Win32CheckBox chkCR_, chkLF_, chkAutoConnect_;
    Win32Button btnConnect_, btnDisconnect_;
    Win32Label lblPort_, lblBaudRate_, lblStatus_;
    Win32Memo memoLastData_;
    Win32Timer timer1_{kDesignedTimer1};
    Win32Timer timerDetection_{kDesignedTimerDetection};
    Win32Timer timerDeviceWatch_{kDesignedTimerDeviceWatch};
    Win32Timer timerDelivery_{kDesignedTimerDelivery};
    Win32Timer timerArrivalPause_{kDesignedTimerArrivalPause};
    std::unique_ptr<Win32TrayIcon> tray_;
    Win32MenuItem menuActiver_{kMenuActiverId, L"Activer"};
};
