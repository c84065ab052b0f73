#pragma once
#include <windows.h>

#include "windows/unique_handle.h"

// One monitor per session. A later start hands over to the running one: it
// shows the running monitor's window, or with /quit ends it as "Quitter" does.

// Held for the monitor's whole life: the session's named mutex.
class SingleInstance {
public:
    SingleInstance();
    // False when another monitor of the session holds the mutex.
    bool IsFirst() const { return first_; }

private:
    win32::UniqueHandle mutex_;
    bool first_ = true;
};

// The command line holds /quit (or -quit).
bool QuitRequested();
// Shows the running monitor's window as "Afficher" does; the exit code of this start.
int ShowRunningMonitor();
// Ends the running monitor as "Quitter" does and waits for its end, at most
// 10 s; 0, also when no monitor runs.
int QuitRunningMonitor();

// The requests another start posts to the main window.
enum class RemoteCommand { None, Show, Quit };
RemoteCommand RemoteCommandOf(UINT message);
// Lets the requests through to a monitor that runs elevated.
void AcceptRemoteCommands(HWND mainWindow);
