// Whose the window in front is, from what Windows tells of it: its class, its process, its
// thread's menu state and its process's integrity level. The table of the shell's windows lives here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "input/input_sink.h"

struct WindowFacts {
    bool ThisProcess = false;
    bool DesktopWindow = false; // GetShellWindow's
    std::wstring RootClass;     // the class of its top-level window
    std::wstring ProcessName;   // the image's file name ("explorer.exe"); empty when unknown
    bool InMenu = false;        // its thread in menu mode (GetGUIThreadInfo), or a menu window (#32768)
    // The mandatory level of its process's token (SECURITY_MANDATORY_*_RID); none when the token
    // cannot be opened, as for an elevated process seen from a standard one.
    std::optional<std::uint32_t> Integrity;
};

// `ownIntegrity`: this process's level, none when unknown (then nothing is called higher).
InputTarget ClassifyWindow(const WindowFacts& window, std::optional<std::uint32_t> ownIntegrity);

// A window the operator works in, whose foreground the tray menu gives back.
bool IsOperatorsWindow(InputTarget kind);
