// The message loop on the virtual clock (see fake_toolkit.h).
#include "tests/fakes/fake_toolkit.h"

#include "ui/error_guard.h"
#include "ui/errors.h"

FakeTimer::FakeTimer(FakeToolkit& toolkit, const DesignedTimer& design)
    : toolkit_(toolkit), state_(design.PeriodMs, false)
{
    if (design.ArmedAtCreation)
        Arm();
}

void FakeTimer::SetInterval(std::uint32_t ms)
{
    if (state_.SetInterval(ms))
        due = toolkit_.clock.Now() + ms; // a new period restarts the countdown
}

void FakeTimer::Arm()
{
    if (state_.Arm())
        due = toolkit_.clock.Now() + state_.Interval();
}

FakeToolkit::FakeToolkit() = default;

void FakeToolkit::RunFor(std::uint64_t ms)
{
    const std::uint64_t end = clock.Now() + ms;
    // Once the loop has ended, nothing is dispatched any more.
    while (!terminated) {
        FakeTimer* next = nullptr;
        for (FakeTimer* t : {&Timer1, &TimerDetection, &TimerDeviceWatch, &TimerDelivery, &TimerArrivalPause})
            if (t->Running() && (next == nullptr || t->due < next->due))
                next = t;
        if (next == nullptr || next->due > end)
            break;
        if (next->due > clock.Now())
            clock.Set(next->due);
        // One tick for every period that passed; the next one stays on the grid.
        const std::uint64_t interval = next->Interval() == 0 ? 1 : next->Interval();
        while (next->due <= clock.Now())
            next->due += interval;
        ++next->ticks;
        if (next->OnTimer)
            Dispatch(next->OnTimer);
    }
    if (clock.Now() < end)
        clock.Set(end);
}

void FakeToolkit::Dispatch(const std::function<void()>& handler)
{
    // The window's own guard: whatever escapes goes to the report, and the loop goes on.
    if (const auto message = RunCatching(handler)) {
        errorReports.push_back(ErrorReportText(*message));
        ShowMessage(ErrorReportText(*message), MessageBoxKind::Error);
    }
    ShowPostedBoxes();
    if (afterEvent)
        afterEvent();
}

void FakeToolkit::ShowMessage(const std::wstring& text, MessageBoxKind kind)
{
    if (!openBoxes_.Enter(text))
        return;
    messageBoxes.push_back({text, kind, clock.Now()});
    if (onBoxOpened)
        onBoxOpened();
    if (modalBoxOpenMs > 0)
        RunFor(modalBoxOpenMs);
    openBoxes_.Leave(text);
}

void FakeToolkit::ShowMessageLater(const std::wstring& text, MessageBoxKind kind)
{
    postedBoxes_.push_back({text, kind, clock.Now()});
}

// A posted box comes out of the queue once the handler that posted it has returned.
void FakeToolkit::ShowPostedBoxes()
{
    auto posted = std::move(postedBoxes_);
    postedBoxes_.clear();
    for (const MessageBoxRecord& box : posted)
        ShowMessage(box.Text, box.Kind);
}

void FakeToolkit::ProcessMessages()
{
    ++pumpCount;
    auto events = std::move(pendingEvents);
    pendingEvents.clear();
    for (auto& e : events)
        Dispatch(e);
}
