// The fake toolkit: the message loop on a virtual clock, with its timers, modal boxes, the
// one-time pump, posted work, the default error report and termination.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "system/clock.h"
#include "ui/controls.h"
#include "ui/form_layout.h"
#include "ui/open_boxes.h"
#include "ui/timer_state.h"

// Virtual milliseconds. Sleep advances time without firing timers, as a
// blocking sleep on the GUI thread does.
class FakeClock : public Clock {
public:
    std::uint32_t GetTickCount() override { return static_cast<std::uint32_t>(now_); }
    void Sleep(std::uint32_t ms) override
    {
        now_ += ms;
        sleeps.push_back(ms);
    }
    std::uint64_t Now() const { return now_; }
    void Advance(std::uint64_t ms) { now_ += ms; }
    void Set(std::uint64_t ms) { now_ = ms; }
    std::vector<std::uint32_t> sleeps;

private:
    std::uint64_t now_ = 1'000'000;
};

class FakeToolkit;

// A timer of the window as designed, on the virtual clock, following the window's timer rule.
class FakeTimer : public Timer {
public:
    FakeTimer(FakeToolkit& toolkit, const DesignedTimer& design);
    void SetInterval(std::uint32_t ms) override;
    std::uint32_t Interval() const { return state_.Interval(); }
    void Arm() override;
    void Stop() override { state_.Stop(); }
    bool Running() const override { return state_.Running(); }

    std::function<void()> OnTimer;
    std::uint64_t due = 0;
    int ticks = 0;

private:
    FakeToolkit& toolkit_;
    TimerState state_;
};

struct MessageBoxRecord {
    std::wstring Text;
    MessageBoxKind Kind;
    std::uint64_t At;
};

class FakeToolkit : public Application {
public:
    FakeToolkit();
    FakeClock clock;
    FakeTimer Timer1{*this, kDesignedTimer1};
    FakeTimer TimerDetection{*this, kDesignedTimerDetection};
    FakeTimer TimerDeviceWatch{*this, kDesignedTimerDeviceWatch};
    FakeTimer TimerDelivery{*this, kDesignedTimerDelivery};
    FakeTimer TimerArrivalPause{*this, kDesignedTimerArrivalPause};

    // Fires the due ticks, in order, until `ms` virtual milliseconds have passed.
    // A timer whose periods passed while the thread was held ticks once.
    void RunFor(std::uint64_t ms);
    // Runs a handler as the message loop does: an escaping error goes to the error report.
    void Dispatch(const std::function<void()>& handler);

    void ShowMessage(const std::wstring& text, MessageBoxKind kind) override;
    void ShowMessageLater(const std::wstring& text, MessageBoxKind kind) override;
    void ProcessMessages() override;
    void Terminate() override { terminated = true; }

    std::vector<MessageBoxRecord> messageBoxes; // the boxes shown
    // Runs when a box opens, before its loop lets the timers run.
    std::function<void()> onBoxOpened;
    std::vector<std::wstring> errorReports; // texts as the report shows them
    // How long each modal box stays open while the loop runs.
    std::uint64_t modalBoxOpenMs = 0;
    // Runs after every dispatched event, nested ones included.
    std::function<void()> afterEvent;
    // Events the one-time pump dispatches (queued clicks, menu commands).
    std::vector<std::function<void()>> pendingEvents;
    int pumpCount = 0;
    bool terminated = false;

private:
    void ShowPostedBoxes();
    std::vector<MessageBoxRecord> postedBoxes_;
    OpenBoxTexts openBoxes_;
};
