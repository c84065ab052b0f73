#include "windows/main_window.h"

#include <commctrl.h>
#include <wtsapi32.h>

#include <utility>

#include "ui/shell_ids.h"
#include "windows/newer_api.h"
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

// No WS_CLIPCHILDREN: the group box does not paint its inside, the window's
// background erase does.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr int kDropDownCount = 8;

win32::UniqueFont MakeFont(int dpi, const wchar_t* face, BYTE pitchAndFamily)
{
    return win32::UniqueFont(CreateFontW(-ScaleForDpi(kDesignedFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                         FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, pitchAndFamily, face));
}

struct CreateParams {
    const wchar_t* ClassName;
    DWORD Style;
    DWORD ExStyle;
};

CreateParams ParamsFor(const ControlSpec& entry)
{
    // Every control starts a group of its own: the two radio buttons are not
    // neighbours in the tab order, so the group rule is kept in code.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP;
    if (entry.TabStop)
        style |= WS_TABSTOP;
    if (!entry.Enabled)
        style |= WS_DISABLED;
    switch (entry.Kind) {
    case ControlKind::PushButton:
        return {L"BUTTON", style | BS_PUSHBUTTON, 0};
    case ControlKind::DropDownList:
        return {L"COMBOBOX", style | CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    case ControlKind::RadioButton:
        return {L"BUTTON", style | BS_RADIOBUTTON, 0};
    case ControlKind::Memo:
        return {L"EDIT", style | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::CheckBox:
        return {L"BUTTON", style | BS_AUTOCHECKBOX, 0};
    case ControlKind::GroupBox:
        return {L"BUTTON", (style & ~static_cast<DWORD>(WS_GROUP)) | BS_GROUPBOX, 0};
    case ControlKind::Label:
        return {L"STATIC", (style & ~static_cast<DWORD>(WS_GROUP)) | SS_LEFT | SS_NOPREFIX, 0};
    }
    return {L"STATIC", style, 0};
}

constexpr UINT_PTR kMemoSubclassId = 1;

// The memo does not take the Tab key: it moves the focus on, as elsewhere. The
// subclass is removed as the memo goes, before comctl32 frees its own record of it.
LRESULT CALLBACK MemoSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &MemoSubclassProc, kMemoSubclassId);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_GETDLGCODE) {
        const LRESULT code = DefSubclassProc(hwnd, msg, wParam, lParam);
        const auto* keyMsg = reinterpret_cast<const MSG*>(lParam);
        if (keyMsg != nullptr && keyMsg->message == WM_KEYDOWN && keyMsg->wParam == VK_TAB)
            return code & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        return code & ~static_cast<LRESULT>(DLGC_WANTTAB);
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

int TextWidth(HWND control, HFONT font)
{
    const std::wstring text = WindowText(control);
    const win32::WindowDc dc(control);
    if (!dc)
        return 0;
    const win32::SelectedObject selected(dc.Get(), font);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

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
    for (Win32Timer* timer : {&timer1_, &timerDetection_, &timerDeviceWatch_})
        timer->Attach(hwnd_);

    tray_ = std::make_unique<Win32TrayIcon>(hwnd_, icon);
    menuActiver_.Attach(tray_->PopupMenu1());
    RegisterSessionNotifications();
}

Win32MainWindow::~Win32MainWindow()
{
    form_ = nullptr;
    if (sessionNotifications_)
        WTSUnRegisterSessionNotification(hwnd_);
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
                        .Window = *this,
                        .App = app_};
}

// The fonts for dpi_ laid out on the controls; the previous fonts are deleted
// only once no control uses them any more.
void Win32MainWindow::ApplyFontsAndLayout()
{
    const win32::UniqueFont oldFont = std::exchange(font_, MakeFont(dpi_, L"Tahoma", DEFAULT_PITCH | FF_SWISS));
    const win32::UniqueFont oldMemoFont =
        std::exchange(memoFont_, MakeFont(dpi_, L"Courier New", FIXED_PITCH | FF_MODERN));
    ApplyLayout();
}

// Creation order is the tab order.
void Win32MainWindow::CreateControls()
{
    for (const ControlSpec& entry : kFormLayout) {
        const CreateParams params = ParamsFor(entry);
        win32::TraceIfFalse(CreateWindowExW(params.ExStyle, params.ClassName, entry.Caption, params.Style, 0, 0, 0, 0,
                                            hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.Id)),
                                            app_.Instance(), nullptr),
                            std::wstring(L"CreateWindowExW ") + entry.Name);
    }
    // The group box paints its frame under its check boxes, not over them; it
    // takes no focus, so its place in the z-order leaves the tab order alone.
    ::SetWindowPos(Control(kGroupBox1Id), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AttachControls();

    win32::TraceIfFalse(SetWindowSubclass(Control(kMemoLastDataId), &MemoSubclassProc, kMemoSubclassId, 0),
                        L"SetWindowSubclass memoLastData");
    // An edit control holds about 32,000 characters unless told otherwise; 0 lifts the limit.
    SendMessageW(Control(kMemoLastDataId), EM_SETLIMITTEXT, 0, 0);

    // Designed states.
    rbKeyboard_.SetChecked(true);
    chkAutoConnect_.SetChecked(true);
    for (HWND combo : {Control(kCmbPortsId), Control(kCmbBaudRateId)})
        SendMessageW(combo, CB_SETMINVISIBLE, kDropDownCount, 0);
}

void Win32MainWindow::AttachControls()
{
    cmbPorts_.Attach(Control(kCmbPortsId));
    cmbBaudRate_.Attach(Control(kCmbBaudRateId));
    rbKeyboard_.Attach(Control(kRbKeyboardId));
    rbClipboard_.Attach(Control(kRbClipboardId));
    rbKeyboard_.SetPartner(rbClipboard_);
    rbClipboard_.SetPartner(rbKeyboard_);
    chkCR_.Attach(Control(kChkCRId));
    chkLF_.Attach(Control(kChkLFId));
    chkAutoConnect_.Attach(Control(kChkAutoConnectId));
    btnConnect_.Attach(Control(kBtnConnectId));
    btnDisconnect_.Attach(Control(kBtnDisconnectId));
    lblPort_.Attach(Control(kLblPortId));
    lblBaudRate_.Attach(Control(kLblBaudRateId));
    lblStatus_.Attach(Control(kLblStatusId));
    memoLastData_.Attach(Control(kMemoLastDataId));
}

void Win32MainWindow::ApplyLayout()
{
    for (const ControlSpec& entry : kFormLayout) {
        HWND control = Control(entry.Id);
        const PixelRect r = ControlRect(entry, dpi_);
        HFONT font = entry.Kind == ControlKind::Memo ? memoFont_.Get() : font_.Get();
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        int height = r.Height;
        if (entry.Kind == ControlKind::DropDownList) {
            // The selection field gets the designed height; the height given to
            // the window is that of the field and its dropped-down list.
            RECT closed{};
            GetWindowRect(control, &closed);
            const auto field = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
            const int frame = (closed.bottom - closed.top) - field;
            if (field > 0 && frame > 0 && r.Height > frame)
                SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), r.Height - frame);
            const auto item = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, 0, 0));
            height = r.Height + kDropDownCount * (item > 0 ? item : r.Height) + 2;
        }
        int width = r.Width;
        if (entry.Kind == ControlKind::CheckBox || entry.Kind == ControlKind::RadioButton)
            width = CaptionedWidth(r.Width, win32::SystemMetricsForDpi(SM_CXMENUCHECK, static_cast<UINT>(dpi_)),
                                   TextWidth(control, font), dpi_);
        ::SetWindowPos(control, nullptr, r.Left, r.Top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (Win32Label* label : {&lblPort_, &lblBaudRate_, &lblStatus_})
        label->FitToCaption();
    InvalidateRect(hwnd_, nullptr, TRUE);
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
    if (tray_ != nullptr && tray_->HandleMessage(msg, wParam))
        return 0;
    // Another start asks to be shown, or /quit to end, as the tray menu does.
    if (const RemoteCommand command = RemoteCommandOf(msg); command != RemoteCommand::None) {
        Run(command == RemoteCommand::Quit ? &TForm1::MenuQuitterClick : &TForm1::MenuAfficherClick);
        return 0;
    }
    switch (msg) {
    case kTrayCallbackMessage:
        if (tray_ != nullptr) {
            switch (tray_->OnCallback(lParam)) {
            case Win32TrayIcon::Event::Click:
                Run(&TForm1::TrayIcon1Click);
                break;
            case Win32TrayIcon::Event::ContextMenu:
                if (form_ != nullptr)
                    tray_->ShowPopupMenu();
                break;
            case Win32TrayIcon::Event::None:
                break;
            }
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
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC)
            Run(&TForm1::PowerResumed);
        return TRUE;
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
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        ApplyFontsAndLayout();
        // While hidden the window stays shrunk and off screen.
        if (visible_) {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    }
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
    default:
        break;
    }
}

// The session registration that Terminal Services refused (at logon) is asked again here.
void Win32MainWindow::DeviceWatchTick()
{
    RegisterSessionNotifications();
    Run(&TForm1::TimerDeviceWatchTimer);
}

// At logon the service may not be ready yet; the registration is asked again until it holds.
void Win32MainWindow::RegisterSessionNotifications()
{
    if (!sessionNotifications_ && hwnd_ != nullptr)
        sessionNotifications_ = WTSRegisterSessionNotification(hwnd_, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

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

// --- MainWindow ---

void Win32MainWindow::AddToolWindowStyle()
{
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_TOOLWINDOW);
}

void Win32MainWindow::SetFixedBorder()
{
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    const LONG_PTR fixed = (style & ~static_cast<LONG_PTR>(WS_THICKFRAME)) | WS_CAPTION | WS_SYSMENU;
    if (fixed != style) {
        SetWindowLongPtrW(hwnd_, GWL_STYLE, fixed);
        ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

// Opacity works only on a layered window.
void Win32MainWindow::SetOpacity(std::uint8_t alpha)
{
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    if ((exStyle & WS_EX_LAYERED) == 0)
        SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    SetLayeredWindowAttributes(hwnd_, 0, alpha, LWA_ALPHA);
}

void Win32MainWindow::SetWindowPos(int x, int y, int cx, int cy, std::uint32_t flags)
{
    ::SetWindowPos(hwnd_, nullptr, x, y, cx, cy, flags);
}

// The designed client size scaled to the window's DPI, for the styles the
// window has now (the tool-window caption is narrower).
void Win32MainWindow::SetDesignedClientSize()
{
    RECT r{0, 0, ScaleForDpi(kDesignedClientWidth, dpi_), ScaleForDpi(kDesignedClientHeight, dpi_)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    win32::AdjustWindowRectForDpi(r, style, false, exStyle, static_cast<UINT>(dpi_));
    ::SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
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
