// The main window's controls as laid out: created from the layout table in tab order, attached to
// their wrappers by id, given the fonts and the rectangles of the window's DPI, and laid out again
// when the DPI changes. Kept apart from main_window.cpp, which routes messages and binds the seam.
#include "windows/main_window.h"

#include <commctrl.h>

#include <utility>

#include "windows/newer_api.h"
#include "windows/trace.h"

namespace {

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

} // namespace

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
        VORTIKA_TRACE_IF_FALSE_FOR(CreateWindowExW(params.ExStyle, params.ClassName, entry.Caption, params.Style, 0, 0,
                                                   0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.Id)),
                                                   app_.Instance(), nullptr),
                                   entry.Name);
    }
    // The group box paints its frame under its check boxes, not over them; it
    // takes no focus, so its place in the z-order leaves the tab order alone.
    ::SetWindowPos(Control(kGroupBox1Id), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AttachControls();

    VORTIKA_TRACE_IF_FALSE(SetWindowSubclass(Control(kMemoLastDataId), &MemoSubclassProc, kMemoSubclassId, 0));
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
                                   MeasureText(control, font, WindowText(control)).cx, dpi_);
        ::SetWindowPos(control, nullptr, r.Left, r.Top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (Win32Label* label : {&lblPort_, &lblBaudRate_, &lblStatus_})
        label->FitToCaption();
    InvalidateRect(hwnd_, nullptr, TRUE);
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

void Win32MainWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    ApplyFontsAndLayout();
    // While hidden the window stays shrunk and off screen.
    if (visible_)
        ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                       suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
