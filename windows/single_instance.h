// One monitor per session: the session's mutex owned by the running monitor and its "ending"
// event, the requests a second start or /quit posts to it (show the running monitor's window, or
// end it as "Quitter" does), and the wait for a monitor that ends.
#pragma once
#include <windows.h>

#include "windows/owners.h"

// Held for the monitor's whole life: the mutex until its shutdown is over; the event is set once
// its message loop has ended.
class SingleInstance {
public:
    // Takes the mutex; when the monitor that holds it is ending, waits for its
    // end (at most 30 s) and takes it then.
    SingleInstance();
    // False when another monitor of the session runs.
    bool IsFirst() const { return first_; }
    // The mutex or the event was another user's: this monitor goes on without it.
    bool FoundForeign() const { return foreign_; }
    // The loop has ended: a start from now on waits for this monitor's end
    // instead of asking it to show its window.
    void MarkEnding();
    // The shutdown is over: a start from now on is the session's monitor.
    void Release();
    // Takes the mutex again, still ending, if no monitor of the session has
    // taken it meanwhile.
    bool Reacquire();

private:
    bool Take(DWORD timeoutMs);

    win32::UniqueHandle mutex_;
    win32::UniqueHandle ending_;
    bool first_ = false;
    bool owned_ = false;
    bool foreign_ = false;
};

// The command line holds /quit (or -quit).
bool QuitRequested();
// Shows the running monitor's window as "Afficher" does; the exit code of this start.
int ShowRunningMonitor();
// Ends the running monitor as "Quitter" does and waits for its end, at most
// 10 s; 0, also when no monitor runs.
int QuitRunningMonitor();

// The requests another start (or the setup program) posts to the main window.
enum class RemoteCommand { None, Show, Quit };
RemoteCommand RemoteCommandOf(UINT message);
// The message that asks the main window to end as "Quitter" does.
UINT QuitMessage();
// Lets the requests through to a monitor that runs elevated.
void AcceptRemoteCommands(HWND mainWindow);
