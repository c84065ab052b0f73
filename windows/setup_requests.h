// How the setup program reaches every running monitor without seeing its window: two events it
// creates for each run, one asking the monitors to end as "Quitter" does, one telling them the new
// program file is in place, so that each starts its successor with its own rights.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "windows/owners.h"

// The requests reach every session and every desktop. A deployment tool runs
// the setup as SYSTEM in session 0, where FindWindow sees no user's window. Any
// user could take a fixed Global name first, with rights of their own, and end
// or hold back every monitor; so the setup creates the events itself, under
// names with a token it makes for each run, and publishes the token in HKLM,
// where only administrators write (installer/VORTikaMonitor.nsi; the names in
// ui/named_objects.h):
//
//   "Quitter"  set from its creation: each monitor that sees it ends as
//              "Quitter" does;
//   "Remplacé" opened by each monitor as it sees "Quitter"; the setup sets it
//              once the program file is replaced (or removed), and each ended
//              monitor then starts the file at its path again, if there is one,
//              with its own user's rights.
//
// A monitor honours the events only when SYSTEM or Administrators own them,
// and logs one line otherwise. Each monitor that honours "Quitter" holds it
// until its shutdown is over, and "Remplacé" until it starts its successor:
// the setup learns that every monitor has ended when no process maps the
// program file any more, or when "Quitter" has no handle but its own while
// "Remplacé" has others (the ended monitors still map the file as they wait).
class SetupRequests {
public:
    SetupRequests() = default;
    SetupRequests(const SetupRequests&) = delete;
    SetupRequests& operator=(const SetupRequests&) = delete;

    // From now on a request reaches the window as /quit's message, and a foreign
    // event as kForeignObject; looked for when the registry says the request changed.
    void PostQuitTo(HWND window);
    // No more posts; before the window goes.
    void StopPosting();
    bool QuitRequested() const { return requested_; }
    // Once the shutdown is over: waits until the setup has replaced the program
    // file; true when it says so in time.
    bool WaitForReplacement();

private:
    static void CALLBACK OnChange(PVOID context, BOOLEAN timedOut);
    void Check();
    void WatchRequestKey();

    HWND window_ = nullptr;
    std::wstring seen_; // the last token looked at: each run's events are judged once
    win32::UniqueHandle quit_;
    win32::UniqueHandle replaced_;
    std::atomic<bool> requested_{false};
    win32::UniqueHandle changed_; // signalled by the registry, waited on by the pool
    win32::UniqueKey watched_;
    // Last, so that it goes first: its release waits for a check under way, which uses the above.
    win32::UniquePoolWait wait_;
};

// Starts the program file at this process's path again, as this session's user:
// directly, or through Explorer when this process runs elevated. Nothing when
// the file is gone (uninstalled).
void StartSuccessor();
