// Which monitor of a session runs (see instance_rule.h).
#include "ui/instance_rule.h"

MutexVerdict JudgeMutex(MutexFound found, ObjectOwner owner)
{
    switch (found) {
    case MutexFound::New:
        return MutexVerdict::TryToTake;
    case MutexFound::Existing:
        return IsTrustedOwner(owner) ? MutexVerdict::TryToTake : MutexVerdict::RunForeign;
    case MutexFound::Denied:
        return MutexVerdict::Refuse;
    case MutexFound::Failed:
        return MutexVerdict::RunWithout;
    }
    return MutexVerdict::RunWithout;
}

TakeVerdict JudgeTake(bool taken, bool existed, bool ending, bool waited)
{
    if (!taken)
        return ending && !waited ? TakeVerdict::WaitForEnd : TakeVerdict::Refuse;
    // A monitor that owns the mutex sets the event before it lets go; a free mutex that existed
    // without it was never owned: an older monitor runs.
    if (existed && !ending)
        return TakeVerdict::ReleaseAndRefuse;
    return TakeVerdict::Run;
}
