// Which power events the monitor acts on (see power_rule.h).
#include "ui/power_rule.h"

// Every resume brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND as well (after it, or later
// when the user comes back) once someone is present; on Modern Standby machines the latter may be
// the only one. The first of them after a suspend is the resume; the others repeat it.
PowerStep PowerEvents::Take(std::uintptr_t event)
{
    switch (event) {
    case kPbtApmSuspend:
        resumed_ = false;
        return PowerStep::Suspend;
    case kPbtApmResumeAutomatic:
    case kPbtApmResumeSuspend:
        if (resumed_)
            return PowerStep::None;
        resumed_ = true;
        return PowerStep::Resume;
    default:
        return PowerStep::None;
    }
}
