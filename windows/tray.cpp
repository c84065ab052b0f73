// The tray icon, its glyph turned into an icon, its balloons, its popup menu and its own retry
// (see tray.h).
#include "windows/tray.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "input/window_kind.h"
#include "ui/shell_ids.h"
#include "windows/input.h"
#include "windows/messages.h"
#include "windows/trace.h"

namespace {

// The portable layer's copies of the values it hands to the shell.
static_assert(kBalloonNoIcon == NIIF_NONE);

constexpr UINT kRetryMs = 3000;

// The window the operator works in: neither this program's, the shell's nor a menu.
bool IsOperatorWindow(HWND window)
{
    return window != nullptr && IsOperatorsWindow(WindowKindOf(window));
}

// The tray whose hook is installed: the callback carries no context of its own.
Win32TrayIcon* followingTray = nullptr;

template <std::size_t N> void CopyField(wchar_t (&field)[N], const std::wstring& text)
{
    const std::wstring fitted = FitField(text, N);
    std::wmemcpy(field, fitted.c_str(), fitted.size());
    field[fitted.size()] = L'\0';
}

} // namespace

win32::UniqueIcon CreateIconFromImage(const IconImage& image)
{
    const int size = image.Size;
    if (size <= 0 || image.Pixels.size() != static_cast<std::size_t>(size) * static_cast<std::size_t>(size))
        return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size; // rows top to bottom, as the picture holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win32::UniqueBitmap colour;
    {
        const win32::WindowDc screen(nullptr);
        colour.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    if (!colour || bits == nullptr)
        return {};
    // 0xAARRGGBB in memory is the B, G, R, A byte order of a 32-bit DIB.
    std::memcpy(bits, image.Pixels.data(), image.Pixels.size() * sizeof(std::uint32_t));
    const std::size_t maskStride = static_cast<std::size_t>((size + 15) / 16 * 2);
    const std::vector<unsigned char> zeros(maskStride * static_cast<std::size_t>(size), 0);
    const win32::UniqueBitmap mask(CreateBitmap(size, size, 1, 1, zeros.data()));
    if (!mask)
        return {};
    // The icon gets copies of both bitmaps.
    ICONINFO iconInfo{};
    iconInfo.fIcon = TRUE;
    iconInfo.hbmMask = mask.Get();
    iconInfo.hbmColor = colour.Get();
    return win32::UniqueIcon(CreateIconIndirect(&iconInfo));
}

Win32TrayIcon::Win32TrayIcon(HWND owner, HICON initialIcon) : initialIcon_(initialIcon)
{
    data_.cbSize = sizeof(data_);
    data_.hWnd = owner;
    data_.uID = kTrayIconId;
    data_.uCallbackMessage = win32::messages::kTrayCallback;

    menu_.Reset(VORTIKA_TRACE_IF_FALSE(CreatePopupMenu()));
    VORTIKA_TRACE_IF_FALSE(AppendMenuW(menu_.Get(), MF_STRING, kMenuActiverId, L"Activer"));
    VORTIKA_TRACE_IF_FALSE(AppendMenuW(menu_.Get(), MF_SEPARATOR, 0, nullptr));
    VORTIKA_TRACE_IF_FALSE(AppendMenuW(menu_.Get(), MF_STRING, kMenuAfficherId, L"Afficher"));
    VORTIKA_TRACE_IF_FALSE(AppendMenuW(menu_.Get(), MF_STRING, kMenuQuitterId, L"Quitter"));

    // No DLL: the events come to this thread's message loop, for other processes' windows only.
    foregroundHook_.Reset(VORTIKA_TRACE_IF_FALSE(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND,
                                                                 nullptr, &Win32TrayIcon::ForegroundChanged, 0, 0,
                                                                 WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS)));
    if (foregroundHook_) {
        followingTray = this;
        if (HWND foreground = GetForegroundWindow(); IsOperatorWindow(foreground))
            operatorWindow_.ForegroundChanged(reinterpret_cast<std::uintptr_t>(foreground), true);
    }

    taskbarCreated_ = RegisterWindowMessageW(win32::messages::kTaskbarCreatedName);
    // An elevated program gets no message from the non-elevated shell unless it lets it through.
    if (taskbarCreated_ != 0)
        VORTIKA_TRACE_IF_FALSE(ChangeWindowMessageFilterEx(owner, taskbarCreated_, MSGFLT_ALLOW, nullptr));
}

Win32TrayIcon::Outcome Win32TrayIcon::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool menuOpens)
{
    if (msg == taskbarCreated_ && msg != 0) {
        // The taskbar was re-created: the icon is added afresh.
        if (shown_)
            Add();
        return Outcome::Handled;
    }
    if (msg == WM_TIMER && wParam == RetryTimerId()) {
        AddIfMissing();
        return Outcome::Handled;
    }
    if (msg != win32::messages::kTrayCallback)
        return Outcome::NotTray;
    switch (OnCallback(lParam)) {
    case Event::Click:
        return Outcome::Click;
    case Event::ContextMenu:
        if (menuOpens)
            ShowPopupMenu();
        return Outcome::Handled;
    case Event::None:
        break;
    }
    return Outcome::Handled;
}

// Start-up draws the icon twice and sets its tip twice before it settles: the shell is
// told once, at the end, which saves one add and four changes on the way to the first log line.
void Win32TrayIcon::Show()
{
    shown_ = true;
    Add();
}

Win32TrayIcon::~Win32TrayIcon()
{
    foregroundHook_.Reset();
    if (followingTray == this)
        followingTray = nullptr;
    NOTIFYICONDATAW remove = data_;
    remove.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &remove);
}

// The shell copies the icon, so ours is destroyed at once; a re-add draws it again. An add
// the taskbar refuses (still starting at logon) is tried again every few seconds until it holds.
void Win32TrayIcon::Add()
{
    NOTIFYICONDATAW add = data_;
    add.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    const win32::UniqueIcon icon = image_.Size > 0 ? CreateIconFromImage(image_) : win32::UniqueIcon();
    add.hIcon = icon ? icon.Get() : initialIcon_;
    added_ = Shell_NotifyIconW(NIM_ADD, &add) != FALSE;
    if (added_)
        KillTimer(data_.hWnd, RetryTimerId());
    else
        VORTIKA_TRACE_IF_FALSE(SetTimer(data_.hWnd, RetryTimerId(), kRetryMs, nullptr));
}

// A busy shell can also report a failed add that took place: a change that goes
// through proves the icon is there.
void Win32TrayIcon::AddIfMissing()
{
    if (added_ || !shown_) {
        KillTimer(data_.hWnd, RetryTimerId());
        return;
    }
    NOTIFYICONDATAW probe = data_;
    probe.uFlags = NIF_TIP;
    Modify(probe);
}

// A refused change means the icon is not there (the taskbar was not ready, or lost it):
// it is added with the current picture and tip, now or at the next watch tick.
void Win32TrayIcon::Modify(NOTIFYICONDATAW& data)
{
    if (!shown_)
        return; // Show() adds the picture and tip of the moment
    if (Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE) {
        added_ = true;
        KillTimer(data_.hWnd, RetryTimerId());
    } else {
        Add();
    }
}

void Win32TrayIcon::SetIcon(const IconImage& image)
{
    image_ = image;
    if (!shown_)
        return;
    const win32::UniqueIcon icon = CreateIconFromImage(image);
    if (!icon)
        return;
    NOTIFYICONDATAW modify = data_;
    modify.uFlags = NIF_ICON;
    modify.hIcon = icon.Get();
    Modify(modify);
}

void Win32TrayIcon::SetHint(const std::wstring& hint)
{
    CopyField(data_.szTip, hint);
    NOTIFYICONDATAW modify = data_;
    modify.uFlags = NIF_TIP;
    Modify(modify);
}

// On a copy: a later re-add must not show the balloon again.
void Win32TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text, std::uint32_t infoFlags,
                                std::uint32_t timeoutMs)
{
    NOTIFYICONDATAW balloon = data_;
    balloon.uFlags = NIF_INFO;
    CopyField(balloon.szInfoTitle, title);
    CopyField(balloon.szInfo, text);
    balloon.dwInfoFlags = infoFlags;
    balloon.uTimeout = timeoutMs;
    VORTIKA_TRACE_IF_FALSE(Shell_NotifyIconW(NIM_MODIFY, &balloon));
}

void CALLBACK Win32TrayIcon::ForegroundChanged(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD)
{
    if (event != EVENT_SYSTEM_FOREGROUND || object != OBJID_WINDOW || followingTray == nullptr || window == nullptr)
        return;
    followingTray->operatorWindow_.ForegroundChanged(reinterpret_cast<std::uintptr_t>(window),
                                                     IsOperatorWindow(window));
}

Win32TrayIcon::Event Win32TrayIcon::OnCallback(LPARAM lParam)
{
    switch (static_cast<UINT>(LOWORD(lParam))) {
    case WM_LBUTTONDOWN:
        clicks_.ButtonDown();
        return Event::None;
    case WM_LBUTTONDBLCLK:
        clicks_.DoubleClick();
        return Event::None;
    case WM_LBUTTONUP:
        return clicks_.ButtonUp() ? Event::Click : Event::None;
    case WM_RBUTTONUP:
        return Event::ContextMenu;
    default:
        return Event::None;
    }
}

// The owner must be in the foreground for the menu to close on a click elsewhere, and the posted
// WM_NULL lets the menu loop end cleanly. Afterwards the foreground goes back to the operator's
// last window (unless "Afficher" was chosen), before the command runs: the hidden owner would keep
// it, and the next bursts would not reach the operator's application.
void Win32TrayIcon::ShowPopupMenu()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    // The hook's events come queued, in no set order with the tray's callback: an operator's window
    // in front now is the latest (and without the hook, all there is to go on).
    if (HWND foreground = GetForegroundWindow(); IsOperatorWindow(foreground))
        operatorWindow_.ForegroundChanged(reinterpret_cast<std::uintptr_t>(foreground), true);
    operatorWindow_.MenuOpens();
    SetForegroundWindow(data_.hWnd);
    const auto command =
        static_cast<UINT>(TrackPopupMenu(menu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                         cursor.x, cursor.y, 0, data_.hWnd, nullptr));
    PostMessageW(data_.hWnd, WM_NULL, 0, 0);
    const std::uintptr_t previous =
        operatorWindow_.WindowToGiveBack(command, GetForegroundWindow() == data_.hWnd, [](std::uintptr_t window) {
            HWND handle = reinterpret_cast<HWND>(window);
            return IsWindow(handle) && IsOperatorWindow(handle);
        });
    if (previous != 0)
        SetForegroundWindow(reinterpret_cast<HWND>(previous));
    // As the menu itself would have sent it, after the menu loop.
    if (command != 0)
        PostMessageW(data_.hWnd, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}
