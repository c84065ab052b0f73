// The timer rule that the window's timers on WM_TIMER and the tests' fake timers share.
#pragma once
#include <cstdint>

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
