// The run-time lookups of the newer calls (see newer_api.h).
#include "windows/newer_api.h"

#include "windows/owners.h"

namespace win32 {

namespace {

constexpr UINT kDefaultDpi = 96;

// user32 is loaded by then: the program imports it for everything else.
template <class Function> Function LookUp(const char* name)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    // GetProcAddress gives a generic function pointer; going through void (*)() says that
    // the type is known to match.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using RegisterSuspendResumeNotificationFunction = HPOWERNOTIFY(WINAPI*)(HANDLE, DWORD);
using UnregisterSuspendResumeNotificationFunction = BOOL(WINAPI*)(HPOWERNOTIFY);

// Each is null where the system lacks it. Looked up once, on first use.
struct NewerUser32 {
    GetDpiForWindowFunction getDpiForWindow = LookUp<GetDpiForWindowFunction>("GetDpiForWindow");
    AdjustWindowRectExForDpiFunction adjustWindowRectExForDpi =
        LookUp<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    GetSystemMetricsForDpiFunction getSystemMetricsForDpi =
        LookUp<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    RegisterSuspendResumeNotificationFunction registerSuspendResumeNotification =
        LookUp<RegisterSuspendResumeNotificationFunction>("RegisterSuspendResumeNotification");
    UnregisterSuspendResumeNotificationFunction unregisterSuspendResumeNotification =
        LookUp<UnregisterSuspendResumeNotificationFunction>("UnregisterSuspendResumeNotification");
};

const NewerUser32& User32()
{
    static const NewerUser32 functions;
    return functions;
}

} // namespace

// Fixed for the life of the process (a change needs a new logon), so read once.
UINT SystemDpi()
{
    static const UINT dpi = [] {
        const WindowDc screen(nullptr);
        const int pixels = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
        return pixels > 0 ? static_cast<UINT>(pixels) : kDefaultDpi;
    }();
    return dpi;
}

UINT DpiForWindow(HWND hwnd)
{
    if (const auto getDpiForWindow = User32().getDpiForWindow) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi != 0)
            return dpi;
    }
    return SystemDpi();
}

// Before Windows 10 1607 the frame is drawn at the system DPI whatever the window's DPI
// (Windows 8.1 scales only the client area), which is what AdjustWindowRectEx measures.
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi)
{
    if (const auto adjustWindowRectExForDpi = User32().adjustWindowRectExForDpi)
        return adjustWindowRectExForDpi(&rect, style, menu ? TRUE : FALSE, exStyle, dpi) != FALSE;
    return AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle) != FALSE;
}

int SystemMetricsForDpi(int index, UINT dpi)
{
    if (const auto getSystemMetricsForDpi = User32().getSystemMetricsForDpi)
        return getSystemMetricsForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

HPOWERNOTIFY RegisterSuspendResume(HWND hwnd)
{
    if (const auto registerSuspendResume = User32().registerSuspendResumeNotification)
        return registerSuspendResume(hwnd, DEVICE_NOTIFY_WINDOW_HANDLE);
    return nullptr;
}

BOOL UnregisterSuspendResume(HPOWERNOTIFY registration)
{
    if (const auto unregisterSuspendResume = User32().unregisterSuspendResumeNotification)
        return unregisterSuspendResume(registration);
    return FALSE;
}

} // namespace win32
