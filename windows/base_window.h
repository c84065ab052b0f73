// The one window base of the program's two windows: the class registered with the window, the
// object found from the handle from WM_NCCREATE on, and a procedure that lets nothing escape.
#pragma once
#include <windows.h>

#include <exception>
#include <string>

#include "windows/owners.h"

namespace win32 {

// A window class as the program's windows describe it; the procedure, the instance and the
// cursor are the base's.
struct WindowClass {
    const wchar_t* Name = nullptr;
    HICON Icon = nullptr; // shared (LoadIconW): never destroyed
    UniqueIcon SmallIcon; // loaded for this class alone: destroyed once the class is gone
    HBRUSH Background = nullptr;
};

// The procedure hands every message to HandleMessage from WM_NCCREATE on, so the messages sent
// while CreateWindowExW runs reach the object too, and nothing thrown there unwinds into user32:
// it goes to ReportError.
class BaseWindow {
public:
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

protected:
    BaseWindow() = default;
    ~BaseWindow();

    // Registers the class and creates the window. False when either fails (a class of that name
    // registered before is used as it is): the handle then stays null.
    bool Create(HINSTANCE instance, WindowClass windowClass, DWORD exStyle, const wchar_t* title, DWORD style, int x,
                int y, int width, int height, HWND owner);
    // Destroys the window and then its class. The derived class calls it from its destructor, so
    // that it still handles the window's last messages.
    void Destroy() noexcept;

    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // The application's error report, for what escaped HandleMessage.
    virtual void ReportError(const std::wstring& message) = 0;

    // From WM_NCCREATE to WM_NCDESTROY.
    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT Unhandled(const std::exception_ptr& error, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    HINSTANCE instance_ = nullptr;
    const wchar_t* className_ = nullptr; // set while the class registered here exists
    UniqueIcon smallIcon_;
};

} // namespace win32
