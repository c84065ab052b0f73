// Which monitor of a session runs: what a start does given what it found of the session's mutex
// (owned by the running monitor until its shutdown is over) and of its "ending" event (set once
// that monitor's message loop has ended). windows/single_instance.cpp finds them and acts.
#pragma once

#include "ui/named_objects.h"

// The session's mutex as CreateMutexW gave it.
enum class MutexFound {
    New,      // created by this start
    Existing, // opened: another process holds the name (ERROR_ALREADY_EXISTS)
    Denied,   // refused with ERROR_ACCESS_DENIED: a monitor running elevated owns it
    Failed,   // not created for any other reason
};

enum class MutexVerdict {
    TryToTake,  // this start may be the session's monitor: try to own the mutex
    Refuse,     // another monitor of the session runs: hand over to it
    RunWithout, // run as the session's monitor, with no mutex to hold
    RunForeign, // another user's object holds the name: run without it, and say so
};
// The owner counts only for an existing mutex.
MutexVerdict JudgeMutex(MutexFound found, ObjectOwner owner);

enum class TakeVerdict {
    Run,              // this start is the session's monitor
    WaitForEnd,       // the holder is ending: wait for its end (bounded), then judge again
    Refuse,           // another monitor of the session runs: hand over to it
    ReleaseAndRefuse, // owned, but the name was held by an older monitor, which owns no mutex
                      // and never sets the event: give the mutex back and hand over to it
};
// After a try to own the mutex: `taken` its outcome, `existed` as CreateMutexW said, `ending` the
// event set when the try began, `waited` the try was the wait for an ending monitor.
TakeVerdict JudgeTake(bool taken, bool existed, bool ending, bool waited);
