#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The rules the Win32 shell follows, kept apart from the API calls so they can be tested.

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

// A message-driven timer's own state. SetTimer on a running timer restarts its
// countdown, so arming a running timer must not reach the platform.
class TimerState {
public:
    TimerState(std::uint32_t interval, bool running) : interval_(interval), running_(running) {}
    std::uint32_t Interval() const { return interval_; }
    bool Running() const { return running_; }
    // True when the platform timer must be started.
    bool Arm()
    {
        if (running_)
            return false;
        running_ = true;
        return true;
    }
    void Stop() { running_ = false; }
    // True when the platform timer must be restarted with the new period.
    bool SetInterval(std::uint32_t ms)
    {
        const bool restart = running_ && ms != interval_;
        interval_ = ms;
        return restart;
    }
    // A tick queued before Stop() must not run the handler.
    bool AcceptsTick() const { return running_; }

private:
    std::uint32_t interval_;
    bool running_;
};

// The texts of the modal boxes open at the moment. A box's own loop lets timers
// run, and each event could open the same box again inside it.
class OpenBoxTexts {
public:
    // False when a box with this text is open already: it is not stacked.
    bool Enter(const std::wstring& text);
    void Leave(const std::wstring& text);

private:
    std::vector<std::wstring> texts_;
};

// Text cut to what a fixed NOTIFYICONDATAW field holds, its NUL excluded.
std::wstring FitField(const std::wstring& text, std::size_t capacity);

// The memo's text is its lines, each followed by CR LF.
std::wstring AppendMemoLine(const std::wstring& text, const std::wstring& line);
std::vector<std::wstring> MemoLines(const std::wstring& text);
