// The rule that chooses how to wait about 1 ms between typed keys, from how late each way ran.
#pragma once
#include <cstdint>

// Chooses, pause after pause, between the two ways Windows has to wait about 1 ms, from how late
// each ran when it was last measured:
//
// - Timer: a high-resolution waitable timer (Windows 10 1803 and later). Not bound to the timer
//   resolution, but some systems (Wine among them) send every timer wait down a slow path that
//   doubles a 1 ms pause.
// - Sleep: Sleep with the timer resolution raised to 1 ms. Since Windows 10 2004 the raise is per
//   process, and Windows 11 may refuse it while all of a process's windows are hidden (the
//   monitor's normal state): Sleep(1) then lasts a scheduler tick, about 15.6 ms.
//
// Which one is right changes while the program runs (the window shown or hidden), so the choice
// is never final: the way in use leaves its place after it ran long several times in a row (one
// late pause is only the scheduler), and the other is measured again now and then, cheaply
// enough that a slow other way costs a few percent of the typing rate at most.
class PauseChoice {
public:
    enum class Way { Timer, Sleep };

    // One pause in this many tries the other way.
    static constexpr std::uint32_t kRecheckEvery = 512;
    // Late by more than the other way's lateness and half a pause: ran long.
    static constexpr std::uint32_t kLongByUs = 500;
    static constexpr int kLongInARow = 3;

    explicit PauseChoice(bool haveTimer) : haveTimer_(haveTimer), current_(haveTimer ? Way::Timer : Way::Sleep) {}

    // The way to wait for the next pause.
    Way Next() const
    {
        if (!haveTimer_ || !Known(current_))
            return current_;
        return !Known(Other(current_)) || sinceRecheck_ >= kRecheckEvery ? Other(current_) : current_;
    }

    // How much longer than asked the pause waited that way, in microseconds.
    void Measured(Way way, std::uint32_t lateUs)
    {
        if (!haveTimer_)
            return;
        if (lateUs > kMaxLateUs)
            lateUs = kMaxLateUs;
        if (way != current_) { // the other way, measured again: one fresh reading
            late_[Index(way)] = lateUs;
            sinceRecheck_ = 0;
            if (lateUs < late_[Index(current_)])
                SwitchTo(way);
            return;
        }
        std::uint32_t& estimate = late_[Index(way)];
        estimate = Known(way) ? (3 * estimate + lateUs) / 4 : lateUs;
        ++sinceRecheck_;
        const std::uint32_t other = late_[Index(Other(way))];
        if (Known(Other(way)) && lateUs > other + kLongByUs) {
            if (++longInARow_ >= kLongInARow)
                SwitchTo(Other(way));
        } else {
            longInARow_ = 0;
        }
    }

    Way Current() const { return current_; }

private:
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
    static constexpr std::uint32_t kMaxLateUs = 10'000'000;
    static int Index(Way way) { return way == Way::Timer ? 0 : 1; }
    static Way Other(Way way) { return way == Way::Timer ? Way::Sleep : Way::Timer; }
    bool Known(Way way) const { return late_[Index(way)] != kUnknown; }
    void SwitchTo(Way way)
    {
        current_ = way;
        longInARow_ = 0;
        sinceRecheck_ = 0;
    }

    bool haveTimer_;
    Way current_;
    std::uint32_t late_[2] = {kUnknown, kUnknown}; // smoothed lateness of each way, in microseconds
    std::uint32_t sinceRecheck_ = 0;
    int longInARow_ = 0;
};
