// The main window's creation, its message routing (commands, timers, tray, sessions, power, the
// session's end) and the MainWindow seam. Layout and DPI are in main_window_layout.cpp, activation
// and focus in activation.cpp.
#include "windows/main_window.h"

#include <commctrl.h>

#include <optional>
#include <utility>

#include "ui/named_objects.h"
#include "ui/power_rule.h"
#include "ui/shell_ids.h"
#include "windows/messages.h"
#include "windows/newer_api.h"
#include "windows/policy.h"
#include "windows/port_opener.h"
#include "windows/session_api.h"
#include "windows/single_instance.h"
#include "windows/trace.h"

namespace {

// The portable layer's copies of the flags the form passes to SetWindowPos and ShowWindow.
static_assert(kSwpNoSize == SWP_NOSIZE);
static_assert(kSwpNoMove == SWP_NOMOVE);
static_assert(kSwpNoZOrder == SWP_NOZORDER);
static_assert(kSwpNoActivate == SWP_NOACTIVATE);
static_assert(kSwpShowWindow == SWP_SHOWWINDOW);
static_assert(kSwHide == SW_HIDE);
static_assert(kSwRestore == SW_RESTORE);
static_assert(kPbtApmSuspend == PBT_APMSUSPEND);
static_assert(kPbtApmResumeSuspend == PBT_APMRESUMESUSPEND);
static_assert(kPbtApmResumeAutomatic == PBT_APMRESUMEAUTOMATIC);

// No WS_CLIPCHILDREN: the group box does not paint its inside, the window's
// background erase does.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

} // namespace

Win32MainWindow::Win32MainWindow(Win32Application& app) : app_(app)
{
    HICON icon = LoadIconW(app.Instance(), MAKEINTRESOURCEW(1));
    win32::UniqueIcon smallIcon(
        static_cast<HICON>(LoadImageW(app.Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), 0)));
    // Owned by the application window, so it never has a taskbar button of its
    // own; created hidden, and sized once its DPI is known.
    if (!Create(app.Instance(),
                {.Name = kMainWindowClass,
                 .Icon = icon,
                 .SmallIcon = std::move(smallIcon),
                 .Background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1))},
                kWindowExStyle, kAppTitle, kWindowStyle, 0, 0, 0, 0, app.Handle()))
        return;
    dpi_ = static_cast<int>(win32::DpiForWindow(hwnd_));
    if (dpi_ <= 0)
        dpi_ = kDesignDpi;
    memoBrush_ = GetSysColorBrush(COLOR_WINDOW);
    CreateControls();
    ApplyFontsAndLayout();
    SetDesignedClientSize();
    app_.SetMainWindow(hwnd_);

    // The timers as designed: the watch starts running here.
    for (Win32Timer* timer : {&timer1_, &timerDetection_, &timerDeviceWatch_, &timerDelivery_, &timerArrivalPause_})
        timer->Attach(hwnd_);

    tray_ = std::make_unique<Win32TrayIcon>(hwnd_, icon);
    menuActiver_.Attach(tray_->PopupMenu1());
    RegisterSessionNotifications();
    suspendResumeNotification_.Reset(win32::RegisterSuspendResume(hwnd_));
}

Win32MainWindow::~Win32MainWindow()
{
    form_ = nullptr;
    if (sessionNotifications_)
        win32::UnregisterSessionNotification(hwnd_);
    suspendResumeNotification_.Reset();
    tray_.reset(); // NIM_DELETE while the window still exists
    if (hwnd_ != nullptr)
        app_.SetMainWindow(nullptr);
    Destroy();
}

FormControls Win32MainWindow::Controls()
{
    return FormControls{.cmbPorts = cmbPorts_,
                        .cmbBaudRate = cmbBaudRate_,
                        .rbKeyboard = rbKeyboard_,
                        .rbClipboard = rbClipboard_,
                        .chkCR = chkCR_,
                        .chkLF = chkLF_,
                        .chkAutoConnect = chkAutoConnect_,
                        .btnConnect = btnConnect_,
                        .btnDisconnect = btnDisconnect_,
                        .lblStatus = lblStatus_,
                        .memoLastData = memoLastData_,
                        .MenuActiver = menuActiver_,
                        .TrayIcon1 = *tray_,
                        .Timer1 = timer1_,
                        .TimerDetection = timerDetection_,
                        .TimerDeviceWatch = timerDeviceWatch_,
                        .TimerDelivery = timerDelivery_,
                        .TimerArrivalPause = timerArrivalPause_,
                        .Window = *this,
                        .App = app_};
}

// Nothing may escape into user32: every handler runs under the error report.
void Win32MainWindow::Run(void (TForm1::*handler)())
{
    if (form_ == nullptr)
        return;
    TForm1* form = form_;
    app_.Guarded([form, handler] { (form->*handler)(); });
}

LRESULT Win32MainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (tray_ != nullptr) {
        switch (tray_->HandleMessage(msg, wParam, lParam, form_ != nullptr)) {
        case Win32TrayIcon::Outcome::Click:
            Run(&TForm1::TrayIcon1Click);
            return 0;
        case Win32TrayIcon::Outcome::Handled:
            return 0;
        case Win32TrayIcon::Outcome::NotTray:
            break;
        }
    }
    // Another start asks to be shown, or /quit to end, as the tray menu does.
    if (const RemoteCommand command = RemoteCommandOf(msg); command != RemoteCommand::None) {
        Run(command == RemoteCommand::Quit ? &TForm1::MenuQuitterClick : &TForm1::MenuAfficherClick);
        return 0;
    }
    switch (msg) {
    case win32::messages::kForeignObject:
        if (form_ != nullptr) {
            const std::wstring line = ForeignObjectLine(static_cast<SharedObject>(wParam));
            TForm1* form = form_;
            app_.Guarded([form, &line] { form->AddLog(line); });
        }
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_CLOSE:
        // The close is refused: FormClose only hides the window.
        Run(&TForm1::FormClose);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_WTSSESSION_CHANGE:
        if (wParam == WTS_CONSOLE_DISCONNECT || wParam == WTS_REMOTE_DISCONNECT)
            Run(&TForm1::SessionLeftConsole);
        else if (wParam == WTS_CONSOLE_CONNECT || wParam == WTS_REMOTE_CONNECT)
            Run(&TForm1::SessionReturnedToConsole);
        return 0;
    case WM_SETTINGCHANGE:
        if (IsPolicyChange(lParam))
            Run(&TForm1::PolicyChanged);
        break;
    case WM_POWERBROADCAST:
        // Sent while the system waits: the close before sleep and the watch after resume (opens,
        // the removal box) run once it has returned; one resume acts once.
        if (const PowerStep step = power_.Take(wParam); step != PowerStep::None)
            PostMessageW(hwnd_, win32::messages::kPowerEvent,
                         step == PowerStep::Suspend ? PBT_APMSUSPEND : PBT_APMRESUMEAUTOMATIC, 0);
        return TRUE;
    case win32::messages::kPowerEvent:
        Run(wParam == PBT_APMSUSPEND ? &TForm1::PowerSuspending : &TForm1::PowerResumed);
        return 0;
    case win32::messages::kPortOpened:
        OnPortOpened(static_cast<std::uint32_t>(wParam), Win32PortOpener::TakeOutcome(lParam));
        return 0;
    case WM_ENDSESSION:
        // The process may be ended as soon as this returns: shut down now, once.
        if (wParam != FALSE && form_ != nullptr) {
            Run(&TForm1::EndSession);
            Detach();
        }
        return 0;
    case WM_SYSCOMMAND:
        // Minimising minimises the application window, which hides the windows it owns.
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            ShowWindow(app_.Handle(), SW_MINIMIZE);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (OnActivate(LOWORD(wParam) != WA_INACTIVE))
            return 0;
        break;
    case WM_CTLCOLORSTATIC:
        // A read-only edit asks for the static colours; the memo keeps the window colour.
        if (reinterpret_cast<HWND>(lParam) == Control(kMemoLastDataId)) {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(memoBrush_);
        }
        break;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// Menu commands come without a control (the test helpers post them too); IDOK and
// IDCANCEL from the dialog keys run nothing.
void Win32MainWindow::OnCommand(int id, int code, HWND control)
{
    if (control == nullptr) {
        switch (static_cast<unsigned>(id)) {
        case kMenuActiverId:
            Run(&TForm1::MenuActiverClick);
            break;
        case kMenuAfficherId:
            Run(&TForm1::MenuAfficherClick);
            break;
        case kMenuQuitterId:
            Run(&TForm1::MenuQuitterClick);
            break;
        default:
            break;
        }
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case kBtnConnectId:
        Run(&TForm1::btnConnectClick);
        break;
    case kBtnDisconnectId:
        Run(&TForm1::btnDisconnectClick);
        break;
    case kRbKeyboardId:
        rbKeyboard_.Clicked();
        break;
    case kRbClipboardId:
        rbClipboard_.Clicked();
        break;
    default:
        break;
    }
}

// A tick queued before its timer was stopped runs nothing.
void Win32MainWindow::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kTimer1Id:
        if (timer1_.AcceptsTick())
            Run(&TForm1::Timer1Timer);
        break;
    case kTimerDetectionId:
        if (timerDetection_.AcceptsTick())
            Run(&TForm1::TimerDetectionTimer);
        break;
    case kTimerDeviceWatchId:
        if (timerDeviceWatch_.AcceptsTick())
            DeviceWatchTick();
        break;
    case kTimerDeliveryId:
        if (timerDelivery_.AcceptsTick())
            Run(&TForm1::TimerDeliveryTimer);
        break;
    case kTimerArrivalPauseId:
        if (timerArrivalPause_.AcceptsTick())
            Run(&TForm1::TimerArrivalPauseTimer);
        break;
    default:
        break;
    }
}

// After the monitor's end nobody takes the port: it is closed here.
void Win32MainWindow::OnPortOpened(std::uint32_t ticket, const PortOpenOutcome& outcome)
{
    if (form_ == nullptr) {
        if (outcome.Handle != kNoPort)
            CloseHandle(reinterpret_cast<HANDLE>(outcome.Handle));
        return;
    }
    TForm1* form = form_;
    app_.Guarded([form, ticket, &outcome] { form->PortOpenCompleted(ticket, outcome); });
}

// The session registration that Terminal Services refused (at logon) is asked again here.
void Win32MainWindow::DeviceWatchTick()
{
    RegisterSessionNotifications();
    Run(&TForm1::TimerDeviceWatchTimer);
}

// At logon the service may not be ready yet; the registration is asked again until it holds. A
// switch before it held brought no message, so the session's state is asked once it holds.
void Win32MainWindow::RegisterSessionNotifications()
{
    if (sessionNotifications_ || hwnd_ == nullptr)
        return;
    sessionNotifications_ = win32::RegisterSessionNotification(hwnd_, NOTIFY_FOR_THIS_SESSION) != FALSE;
    if (!sessionNotifications_ || form_ == nullptr)
        return;
    Run(&TForm1::SessionNotificationsRegistered);
}

// --- MainWindow ---

void Win32MainWindow::AddToolWindowStyle()
{
    ChangeStyle(hwnd_, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
}

void Win32MainWindow::SetFixedBorder()
{
    if (ChangeStyle(hwnd_, GWL_STYLE, WS_CAPTION | WS_SYSMENU, WS_THICKFRAME))
        ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// Opacity works only on a layered window.
void Win32MainWindow::SetOpacity(std::uint8_t alpha)
{
    ChangeStyle(hwnd_, GWL_EXSTYLE, WS_EX_LAYERED);
    SetLayeredWindowAttributes(hwnd_, 0, alpha, LWA_ALPHA);
}

void Win32MainWindow::SetWindowPos(int x, int y, int cx, int cy, std::uint32_t flags)
{
    ::SetWindowPos(hwnd_, nullptr, x, y, cx, cy, flags);
}

void Win32MainWindow::Show()
{
    visible_ = true;
    if (centreRequested_) {
        centreRequested_ = false;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        RECT window{};
        GetWindowRect(hwnd_, &window);
        const PixelPoint at = CentreInWorkArea({work.left, work.top, work.right - work.left, work.bottom - work.top},
                                               window.right - window.left, window.bottom - window.top);
        ::SetWindowPos(hwnd_, nullptr, at.X, at.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd_, SW_SHOW);
    BringWindowToTop(hwnd_);
}

void Win32MainWindow::Hide()
{
    visible_ = false;
    ShowWindow(hwnd_, SW_HIDE);
}

void Win32MainWindow::ShowApplicationWindow(int showCommand)
{
    ShowWindow(app_.Handle(), showCommand);
}

void Win32MainWindow::SetNormalState()
{
    if (IsIconic(hwnd_) || IsZoomed(hwnd_))
        ShowWindow(hwnd_, SW_RESTORE);
}
