// Every window message of the program's own, in one place: the numbers its windows post to
// themselves, and the names of the messages it registers with RegisterWindowMessageW.
#pragma once
#include <windows.h>

#include "ui/shell_ids.h"

namespace win32::messages {

// The tray icon's callback (shared with the test helpers through ui/shell_ids.h).
inline constexpr UINT kTrayCallback = WM_APP + 1;
static_assert(kTrayCallback == kTrayCallbackMessage);
// The application window hands the activation on to the main window or its box.
inline constexpr UINT kActivateFront = WM_APP + 20;
// A box asked for with ShowMessageLater, shown once the handler that asked has returned.
inline constexpr UINT kShowPostedBox = WM_APP + 21;
// A named object found in another user's hands (wParam: its SharedObject), logged by the window.
inline constexpr UINT kForeignObject = WM_APP + 22;
// A port open that ran on the worker has come back: the ticket as wParam, the outcome as lParam.
inline constexpr UINT kPortOpened = WM_APP + 24;
// WM_POWERBROADCAST is sent and must return at once: its work comes back as this, with
// PBT_APMSUSPEND or PBT_APMRESUMEAUTOMATIC (for either resume event) as wParam.
inline constexpr UINT kPowerEvent = WM_APP + 25;

// Sent by the shell to every top-level window when the taskbar is re-created.
inline constexpr const wchar_t* kTaskbarCreatedName = L"TaskbarCreated";
// The messages a second start of the program and /quit post to the running monitor's main window
// are named in ui/named_objects.h (kShowMessagePart, kQuitMessagePart), with the setup's.

} // namespace win32::messages
