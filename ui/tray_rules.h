// The tray icon's rules, kept apart from the shell calls so they can be tested: what makes a
// click, the tip's length, and where the foreground goes after the menu.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/shell_ids.h"

// A tray click is a left release after a left press over the icon; the second
// press of a double click arrives as a double-click message and does not arm.
class TrayClickTracker {
public:
    void ButtonDown() { armed_ = true; }
    // Nothing on purpose: the second press of a double click must not arm, so a double
    // click toggles once (TrayClick.DoubleClick_TogglesOnce).
    void DoubleClick() {}
    // True when the release completes a click.
    bool ButtonUp()
    {
        const bool fire = armed_;
        armed_ = false;
        return fire;
    }

private:
    bool armed_ = false;
};

// Text cut to what a fixed NOTIFYICONDATAW field holds, its NUL excluded.
std::wstring FitField(const std::wstring& text, std::size_t capacity);

// The operator's window, followed as the foreground moves, that the tray menu gives the foreground
// back to. Taken at the tray's callback instead, it could be hours old, or missing when the
// overflow's flyout is in front while the pointer is on the icon.
class OperatorWindowTracker {
public:
    // A window came to the front; `operatorsWindow`: neither ours, the shell's nor a menu.
    void ForegroundChanged(std::uintptr_t window, bool operatorsWindow)
    {
        if (operatorsWindow && window != 0)
            last_ = window;
    }
    // The menu opens: what comes to the front from now on is the menu's doing.
    void MenuOpens() { atMenu_ = last_; }
    // After the menu closed with `command` (0: none): the window to bring back, 0 to leave the
    // foreground alone. Only while the menu's owner still has it (a click elsewhere chose another
    // window), never for "Afficher", and only to a window that `stillOperators` finds still there
    // as the operator's.
    template <class StillOperators>
    std::uintptr_t WindowToGiveBack(unsigned command, bool ownerInFront, StillOperators stillOperators) const
    {
        if (command == kMenuAfficherId || !ownerInFront || atMenu_ == 0 || !stillOperators(atMenu_))
            return 0;
        return atMenu_;
    }

private:
    std::uintptr_t last_ = 0;
    std::uintptr_t atMenu_ = 0;
};
