// The tray icon's rules, kept apart from the shell calls so they can be tested: what makes a
// click, and the tip's length.
#pragma once
#include <cstddef>
#include <string>

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
