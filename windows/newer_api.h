// The few calls newer than Windows 7 that the program uses when the system has them, looked up
// once at run time with their Windows 7 fallbacks, so that the import table names none of them.
#pragma once
#include <windows.h>

namespace win32 {

// The DPI the process was started with: that of every window before Windows 8.1.
UINT SystemDpi();
// GetDpiForWindow (Windows 10 1607); the system DPI before it.
UINT DpiForWindow(HWND hwnd);
// AdjustWindowRectExForDpi (Windows 10 1607); AdjustWindowRectEx, at the system DPI, before it.
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi);
// GetSystemMetricsForDpi (Windows 10 1607); GetSystemMetrics scaled from the system DPI before it.
int SystemMetricsForDpi(int index, UINT dpi);
// RegisterSuspendResumeNotification for a window (Windows 8): on Modern Standby machines sleep and
// resume reach only the windows registered so. Null before Windows 8, where every top-level window
// gets them, or when refused.
HPOWERNOTIFY RegisterSuspendResume(HWND hwnd);
// UnregisterSuspendResumeNotification; only ever given what RegisterSuspendResume returned.
BOOL UnregisterSuspendResume(HPOWERNOTIFY registration);

} // namespace win32
