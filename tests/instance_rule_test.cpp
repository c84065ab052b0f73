// Which monitor of a session runs, waits or hands over, from what a start found.
#include <gtest/gtest.h>

#include "ui/instance_rule.h"

namespace {

TEST(InstanceRule, MutexFound_DecidesWhetherToTryToOwnIt)
{
    struct Case {
        MutexFound found;
        ObjectOwner owner;
        MutexVerdict verdict;
    };
    const Case cases[] = {
        {MutexFound::New, ObjectOwner::Other, MutexVerdict::TryToTake}, // the owner counts only when it existed
        {MutexFound::Existing, ObjectOwner::ThisUser, MutexVerdict::TryToTake},
        {MutexFound::Existing, ObjectOwner::Administrators, MutexVerdict::TryToTake},
        {MutexFound::Existing, ObjectOwner::System, MutexVerdict::TryToTake},
        {MutexFound::Existing, ObjectOwner::Unrecorded, MutexVerdict::TryToTake},
        {MutexFound::Existing, ObjectOwner::Other, MutexVerdict::RunForeign},
        {MutexFound::Denied, ObjectOwner::ThisUser, MutexVerdict::Refuse},
        {MutexFound::Failed, ObjectOwner::ThisUser, MutexVerdict::RunWithout},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeMutex(c.found, c.owner), c.verdict)
            << static_cast<int>(c.found) << " " << static_cast<int>(c.owner);
}

TEST(InstanceRule, TryToOwn_RunsWaitsOrHandsOver)
{
    struct Case {
        const char* name;
        bool taken, existed, ending, waited;
        TakeVerdict verdict;
    };
    const Case cases[] = {
        {"first of the session", true, false, false, false, TakeVerdict::Run},
        {"the holder has just ended, its event still set", true, true, true, false, TakeVerdict::Run},
        {"a running monitor holds it", false, true, false, false, TakeVerdict::Refuse},
        {"the holder is ending", false, true, true, false, TakeVerdict::WaitForEnd},
        {"the holder ended within the wait", true, true, true, true, TakeVerdict::Run},
        {"the holder outlived the wait", false, true, true, true, TakeVerdict::Refuse},
        {"an older monitor holds the name unowned", true, true, false, false, TakeVerdict::ReleaseAndRefuse},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeTake(c.taken, c.existed, c.ending, c.waited), c.verdict) << c.name;
}

} // namespace
