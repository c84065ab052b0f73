// The Remote Desktop Services calls the program makes, taken from System32's wtsapi32.dll at run
// time: it is not a known DLL, and an import would be looked for beside the program first.
#pragma once

#include <windows.h>

#include <wtsapi32.h>

namespace win32 {

// Each fails as the real call does (FALSE, with ERROR_PROC_NOT_FOUND) when the library is missing.
BOOL QuerySessionInformation(DWORD sessionId, WTS_INFO_CLASS what, LPWSTR* buffer, DWORD* bytes);
void FreeSessionMemory(void* memory);
BOOL RegisterSessionNotification(HWND window, DWORD flags);
BOOL UnregisterSessionNotification(HWND window);

} // namespace win32
