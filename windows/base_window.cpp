// The window base (see base_window.h).
#include "windows/base_window.h"

#include <utility>

#include "ui/error_guard.h"

namespace win32 {

BaseWindow::~BaseWindow()
{
    // The derived part is gone already: the window's last messages get the default answers.
    if (hwnd_ != nullptr)
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    Destroy();
}

bool BaseWindow::Create(HINSTANCE instance, WindowClass windowClass, DWORD exStyle, const wchar_t* title, DWORD style,
                        int x, int y, int width, int height, HWND owner)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &BaseWindow::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = windowClass.Icon;
    wc.hIconSm = windowClass.SmallIcon.Get();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = windowClass.Background;
    wc.lpszClassName = windowClass.Name;
    if (RegisterClassExW(&wc) != 0) {
        instance_ = instance;
        className_ = windowClass.Name;
        smallIcon_ = std::move(windowClass.SmallIcon);
    } else if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    const HWND created =
        CreateWindowExW(exStyle, windowClass.Name, title, style, x, y, width, height, owner, nullptr, instance, this);
    // A class of that name with another procedure never told us about the window.
    if (created != nullptr && created != hwnd_) {
        DestroyWindow(created);
        hwnd_ = nullptr;
    }
    if (created == nullptr)
        hwnd_ = nullptr;
    return hwnd_ != nullptr;
}

void BaseWindow::Destroy() noexcept
{
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    if (className_ != nullptr) {
        UnregisterClassW(className_, instance_);
        className_ = nullptr;
    }
}

LRESULT CALLBACK BaseWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    BaseWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<BaseWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr)
        return DefWindowProcW(hwnd, msg, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        result = self->Unhandled(std::current_exception(), hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

// The report runs a box's modal loop, which may itself fail (out of memory): the message still
// gets the default answer, except a close request, which would destroy the window and everything
// that belongs to it (the tray icon, the timers).
LRESULT BaseWindow::Unhandled(const std::exception_ptr& error, HWND hwnd, UINT msg, WPARAM wParam,
                              LPARAM lParam) noexcept
{
    try {
        if (const auto message = RunCatching([&error] { std::rethrow_exception(error); }))
            ReportError(*message);
    } catch (...) {
        // Nothing more can be done for this one.
    }
    if (msg == WM_CLOSE)
        return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32
