// When a burst may go out, held or refused (see delivery_rule.h).
#include "input/delivery_rule.h"

BurstAction DecideBurst(const BurstConditions& now)
{
    BurstAction refusal = BurstAction::Deliver;
    switch (now.Target) {
    case InputTarget::ThisProgram:
        refusal = BurstAction::RefuseThisProgram;
        break;
    case InputTarget::Shell:
        refusal = BurstAction::RefuseShell;
        break;
    case InputTarget::ShellHost:
        refusal = BurstAction::RefuseShellHost;
        break;
    case InputTarget::HigherRights:
        refusal = BurstAction::RefuseHigherRights;
        break;
    case InputTarget::Menu:
        // The operator closes the menu and the burst goes.
        if (now.WaitedMs >= kMenuWaitMs)
            refusal = BurstAction::RefuseMenu;
        else
            return now.Closing ? BurstAction::RefuseOnClose : BurstAction::Wait;
        break;
    case InputTarget::Nobody:
        if (now.WaitedMs >= kNoForegroundWaitMs)
            refusal = BurstAction::RefuseNobody;
        else
            return now.Closing ? BurstAction::RefuseOnClose : BurstAction::Wait;
        break;
    case InputTarget::OtherApplication:
        break;
    }
    if (refusal != BurstAction::Deliver)
        return now.Closing ? BurstAction::RefuseOnClose : refusal;
    if (now.ModifierKeysDown) {
        if (now.Closing)
            return BurstAction::RefuseOnClose;
        return now.WaitedMs >= kModifierWaitMs ? BurstAction::RefuseModifierKeys : BurstAction::Wait;
    }
    // The paste's own bound ends this wait: past it the paste is given up with its own line.
    if (now.PasteUnread)
        return now.Closing ? BurstAction::RefuseOnClose : BurstAction::Wait;
    return BurstAction::Deliver;
}
