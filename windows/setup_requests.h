// How the setup program reaches every running monitor without seeing its window: two named
// events in the Global namespace, one asking the monitors to end as "Quitter" does, one telling
// them the new program file is in place, so that each starts its successor with its own rights.
#pragma once
#include <windows.h>

#include <string>

#include "windows/owners.h"

// The setup program's requests to every running monitor, in every session and
// on every desktop. A deployment tool runs the setup as SYSTEM in session 0,
// where FindWindow sees no user's window; named events in the Global\ namespace
// reach every session (Local\ when Global\ is refused: then only this session's).
// installer/VORTikaMonitor.nsi names the same events.
//
//   "Quitter"  each monitor holds it from its start and ends as "Quitter" does
//              when the setup program or the uninstaller sets it;
//   "Remplacé" each ending monitor opens it before it lets go of "Quitter"; the
//              setup sets it once the program file is replaced (or removed), and
//              each ending monitor then starts the file at its path again, if
//              there is one, with its own user's rights.
//
// The setup learns that every monitor has ended when no handle to "Quitter" is
// left (the event is gone); that also clears the request for the monitors that
// start next.
class SetupRequests {
public:
    SetupRequests();
    ~SetupRequests();
    SetupRequests(const SetupRequests&) = delete;
    SetupRequests& operator=(const SetupRequests&) = delete;

    // From now on the request reaches the window as /quit's message.
    void PostQuitTo(HWND window);
    // No more posts; before the window goes.
    void StopPosting();
    bool QuitRequested() const;
    // Once the shutdown is over: lets the setup go on, then waits until it has
    // replaced the program file; true when it says so in time.
    bool WaitForReplacement();

private:
    static void CALLBACK OnQuit(PVOID context, BOOLEAN timedOut);

    std::wstring namespace_;
    win32::UniqueHandle quit_;
    HANDLE wait_ = nullptr;
    HWND window_ = nullptr;
};

// Starts the program file at this process's path again, as this session's user:
// directly, or through Explorer when this process runs elevated. Nothing when
// the file is gone (uninstalled).
void StartSuccessor();
