// One home for the window messages the program defines or registers (see below).
#pragma once
#include <windows.h>

#include "ui/shell_ids.h"

// Every window message of the program's own, in one place: the numbers its windows post to
// themselves, and the names of the messages it registers with RegisterWindowMessageW.
namespace win32::messages {

// The tray icon's callback (shared with the test helpers through ui/shell_ids.h).
inline constexpr UINT kTrayCallback = WM_APP + 1;
static_assert(kTrayCallback == kTrayCallbackMessage);
// The application window hands the activation on to the main window or its box.
inline constexpr UINT kActivateFront = WM_APP + 20;
// A box asked for with ShowMessageLater, shown once the handler that asked has returned.
inline constexpr UINT kShowPostedBox = WM_APP + 21;
// A port open that ran on the worker has come back: the ticket as wParam, the outcome as lParam.
inline constexpr UINT kPortOpened = WM_APP + 22;
// WM_POWERBROADCAST is sent and must return at once: its work comes back as this, wParam kept.
inline constexpr UINT kPowerEvent = WM_APP + 23;

// Sent by the shell to every top-level window when the taskbar is re-created.
inline constexpr const wchar_t* kTaskbarCreatedName = L"TaskbarCreated";
// Posted by a second start of the program and by /quit to the running monitor's main window.
inline constexpr const wchar_t* kShowRequestName = L"VORTikaMonitor.Afficher-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41";
inline constexpr const wchar_t* kQuitRequestName = L"VORTikaMonitor.Quitter-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41";

} // namespace win32::messages
