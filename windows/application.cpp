// The application window's messages, the boxes and the message loop (see application.h).
#include "windows/application.h"

#include <utility>

#include "ui/error_guard.h"
#include "ui/errors.h"
#include "ui/shell_ids.h"
#include "windows/messages.h"

namespace {
using win32::messages::kActivateFront;
using win32::messages::kShowPostedBox;
} // namespace

Win32Application::Win32Application(HINSTANCE instance) : instance_(instance)
{
    // Zero size, so that only its taskbar entry is ever seen; created hidden.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    win32::WindowClass windowClass;
    windowClass.Name = kAppWindowClass;
    windowClass.Icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    Create(instance, std::move(windowClass), 0, kAppTitle,
           WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0, nullptr);
}

Win32Application::~Win32Application()
{
    Destroy();
}

LRESULT Win32Application::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (clipboardMessages_ && clipboardMessages_(msg, wParam))
        return 0;
    switch (msg) {
    case WM_GETMINMAXINFO: {
        // Let the window stay at zero size despite its caption.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = POINT{0, 0};
        return 0;
    }
    case WM_SETFOCUS:
        // The taskbar entry activates this window: pass the activation on once
        // the activation in progress is over.
        PostMessageW(hwnd_, kActivateFront, 0, 0);
        return 0;
    case kActivateFront:
        ActivateFront();
        return 0;
    case kShowPostedBox:
        if (!postedBoxes_.empty()) {
            auto [text, kind] = std::move(postedBoxes_.front());
            postedBoxes_.pop_front();
            ShowMessage(text, kind);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE) {
            // The owned windows come back only with the restore, after the focus
            // arrived here.
            const LRESULT result = DefWindowProcW(hwnd_, msg, wParam, lParam);
            PostMessageW(hwnd_, kActivateFront, 0, 0);
            return result;
        }
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_CLOSE:
        // "Close window" from the taskbar entry: the main window decides.
        if (main_ != nullptr)
            PostMessageW(main_, WM_CLOSE, 0, 0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

int Win32Application::ShowModal(const std::wstring& text, UINT flags)
{
    // Each event handled inside the box's loop could open the same box again,
    // one inside another, until the stack overflows; the log records each event.
    if (!openBoxes_.Enter(text))
        return IDOK;
    if ((flags & MB_ICONMASK) == MB_ICONERROR && events_ != nullptr)
        events_->Report(EventKind::Error, {text});
    // Modal to every window of the program, the main window included, while
    // the box's own loop keeps the timers and the tray going.
    const bool mainWasEnabled = main_ != nullptr && IsWindowEnabled(main_);
    if (mainWasEnabled)
        EnableWindow(main_, FALSE);
    const int result = ::MessageBoxW(hwnd_, text.c_str(), kAppTitle, flags | MB_TASKMODAL);
    if (mainWasEnabled && IsWindow(main_)) {
        EnableWindow(main_, TRUE);
        // The box handed the activation back to its owner while the main
        // window was still disabled.
        if (GetActiveWindow() == hwnd_ && IsWindowVisible(main_))
            SetActiveWindow(main_);
    }
    openBoxes_.Leave(text);
    return result;
}

void Win32Application::ShowMessage(const std::wstring& text, MessageBoxKind kind)
{
    ShowModal(text, kind == MessageBoxKind::Error ? MB_OK | MB_ICONERROR : MB_OK);
}

void Win32Application::ShowMessageLater(const std::wstring& text, MessageBoxKind kind)
{
    postedBoxes_.emplace_back(text, kind);
    PostMessageW(hwnd_, kShowPostedBox, 0, 0);
}

void Win32Application::ReportError(const std::wstring& message)
{
    ShowModal(ErrorReportText(message), MB_OK | MB_ICONERROR);
}

void Win32Application::Guarded(const std::function<void()>& handler)
{
    if (auto message = RunCatching(handler))
        ReportError(*message);
}

void Win32Application::Dispatch(MSG& msg)
{
    if (main_ != nullptr && IsDialogMessageW(main_, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void Win32Application::ProcessMessages()
{
    // Show the state just set before anything else runs.
    if (main_ != nullptr)
        RedrawWindow(main_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The outer loop must still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

void Win32Application::Terminate()
{
    PostQuitMessage(0);
}

int Win32Application::Run()
{
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return 1;
        Dispatch(msg);
    }
}
