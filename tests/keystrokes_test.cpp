#include <gtest/gtest.h>

#include <utility>

#include "input/keystrokes.h"
#include "system/pause_choice.h"
#include "tests/fakes/fake_input.h"
#include "tests/fakes/fake_toolkit.h"

namespace {

using Keys = std::vector<std::wstring>;
using Sleeps = std::vector<std::uint32_t>;

std::wstring Units(std::initializer_list<std::uint16_t> units)
{
    std::wstring text;
    for (const std::uint16_t u : units)
        text.push_back(static_cast<wchar_t>(u));
    return text;
}

struct Typing {
    FakeClock clock;
    FakeKeyboard keyboard{&clock};
    std::uint64_t start = clock.Now();
    void Type(const std::wstring& text) { SendKeystrokes(keyboard, clock, text); }
    std::vector<std::uint64_t> CallTimes() const
    {
        std::vector<std::uint64_t> at;
        for (const auto& c : keyboard.calls)
            at.push_back(c.at - start);
        return at;
    }
};

} // namespace

// Remote-desktop and virtual-machine clients forward scan codes: a key without one never arrives.
TEST(Keystrokes, VirtualKeysAndCtrlV_CarryTheirScanCodesInOneCall)
{
    FakeKeyboard keyboard;
    SendVirtualKey(keyboard, 13);
    const TypingOutcome paste = PressCtrlV(keyboard);
    ASSERT_EQ(keyboard.calls.size(), 2u);
    EXPECT_EQ(keyboard.calls[0].records, (std::vector<KeyboardRecord>{{13, 0x1C, 0, 0, 0}, {13, 0x1C, 2, 0, 0}}));
    EXPECT_EQ(keyboard.calls[1].records,
              (std::vector<KeyboardRecord>{
                  {17, 0x1D, 0, 0, 0}, {86, 0x2F, 0, 0, 0}, {86, 0x2F, 2, 0, 0}, {17, 0x1D, 2, 0, 0}}));
    EXPECT_EQ(paste.Events, 4);
    EXPECT_EQ(paste.Refused, 0);
    keyboard.refusesInput = true;
    EXPECT_EQ(PressCtrlV(keyboard).Refused, 4);
}

// SendInput stops at the first event it cannot insert: a key pressed and not released would stay
// down (Ctrl making every later key a shortcut) until its release goes at once.
TEST(Keystrokes, CtrlVCutShort_ReleasesAtOnceOnlyTheKeysLeftDown)
{
    const KeyboardRecord ctrlUp{17, 0x1D, 2, 0, 0};
    const KeyboardRecord vUp{86, 0x2F, 2, 0, 0};
    struct Case {
        int inserted;
        std::vector<KeyboardRecord> released; // empty: no second call
    };
    const Case cases[] = {{0, {}}, {1, {ctrlUp}}, {2, {vUp, ctrlUp}}, {3, {ctrlUp}}, {4, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inserted);
        FakeKeyboard keyboard;
        keyboard.insertsOnly = {c.inserted};
        const TypingOutcome paste = PressCtrlV(keyboard);
        EXPECT_EQ(paste.Events, 4);
        EXPECT_EQ(paste.Refused, 4 - c.inserted);
        ASSERT_EQ(keyboard.calls.size(), c.released.empty() ? 1u : 2u);
        if (!c.released.empty())
            EXPECT_EQ(keyboard.calls[1].records, c.released);
    }
}

TEST(Keystrokes, SendUnicodeChar_CarriesTheUnitAsScanCodeWithTheUnicodeFlag)
{
    FakeKeyboard keyboard;
    SendUnicodeChar(keyboard, 0xD83D);
    SendUnicodeChar(keyboard, 0xFFFF);
    ASSERT_EQ(keyboard.calls.size(), 2u);
    EXPECT_EQ(keyboard.calls[0].records, (std::vector<KeyboardRecord>{{0, 0xD83D, 4, 0, 0}, {0, 0xD83D, 6, 0, 0}}));
    EXPECT_EQ(keyboard.calls[1].records, (std::vector<KeyboardRecord>{{0, 0xFFFF, 4, 0, 0}, {0, 0xFFFF, 6, 0, 0}}));
}

TEST(Keystrokes, EachCodeUnit_IsSentByTheMappingAndPausedOnce)
{
    struct Case {
        std::uint16_t unit;
        Keys keys; // empty: dropped
    };
    const Case cases[] = {
        {0, {}},
        {7, {}},
        {8, {L"{Back}"}},
        {9, {L"{Tab}"}},
        {10, {L"{Enter}"}},
        {11, {}},
        {12, {}},
        {13, {L"{Enter}"}},
        {14, {}},
        {26, {}},
        {27, {L"{Esc}"}},
        {28, {}},
        {31, {}},
        {32, {L" "}},
        {'A', {L"A"}},
        {'z', {L"z"}},
        {127, {Units({127})}},
        {128, {Units({128})}},
        {159, {Units({159})}},
        {0xE9, {L"\u00e9"}},
        {0xD83D, {Units({0xD83D})}},
        {0xDE00, {Units({0xDE00})}},
        {0xFFFF, {Units({0xFFFF})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Typing t;
        t.Type(Units({c.unit}));
        EXPECT_EQ(TypedKeys(t.keyboard.calls), c.keys);
        EXPECT_EQ(t.clock.sleeps, Sleeps{1});
    }
}

TEST(Keystrokes, LettersAndControls_TypeAsUnicodeAndKeys_WithoutShift)
{
    Typing t;
    t.Type(L"A\tB\r\n");
    EXPECT_EQ(TypedKeys(t.keyboard.calls), (Keys{L"A", L"{Tab}", L"B", L"{Enter}", L"{Enter}"}));
}

TEST(Keystrokes, PauseFollowsEveryUnit_DroppedOnesIncluded)
{
    Typing t;
    t.Type(Units({'a', 7, 11, 12, 'b'}));
    EXPECT_EQ(TypedKeys(t.keyboard.calls), (Keys{L"a", L"b"}));
    // Sent before its own pause: the first unit goes out at once, b after four pauses.
    EXPECT_EQ(t.CallTimes(), (std::vector<std::uint64_t>{0, 4}));
    EXPECT_EQ(t.clock.sleeps, (Sleeps{1, 1, 1, 1, 1}));
    EXPECT_EQ(t.clock.Now() - t.start, 5u);
}

TEST(Keystrokes, CharacterOutsideTheBmp_IsTwoUnitsEachPaused)
{
    Typing t;
    t.Type(Units({0xD83D, 0xDE00}));
    EXPECT_EQ(TypedKeys(t.keyboard.calls), (Keys{Units({0xD83D}), Units({0xDE00})}));
    EXPECT_EQ(t.CallTimes(), (std::vector<std::uint64_t>{0, 1}));
    EXPECT_EQ(t.clock.sleeps, (Sleeps{1, 1}));
}

TEST(Keystrokes, EmptyText_TypesNothingAndDoesNotPause)
{
    Typing t;
    t.Type(L"");
    EXPECT_TRUE(t.keyboard.calls.empty());
    EXPECT_TRUE(t.clock.sleeps.empty());
}

// The pause's choice of wait, fed with how late each way runs on a given system (microseconds).
namespace {

using Way = PauseChoice::Way;

// Runs n pauses; returns how many went each way.
std::pair<int, int> Pauses(PauseChoice& choice, int n, std::uint32_t timerLateUs, std::uint32_t sleepLateUs)
{
    int timer = 0, sleep = 0;
    for (int i = 0; i < n; ++i) {
        const Way way = choice.Next();
        ++(way == Way::Timer ? timer : sleep);
        choice.Measured(way, way == Way::Timer ? timerLateUs : sleepLateUs);
    }
    return {timer, sleep};
}

} // namespace

TEST(TypingPause, TimerSlowerThanSleep_SleepIsChosenAtTheSecondPauseAndKept)
{
    PauseChoice choice(true);
    Pauses(choice, 2, 1000, 90); // Wine: the timer doubles the pause
    EXPECT_EQ(choice.Current(), Way::Sleep);
    const auto [timer, sleep] = Pauses(choice, 2000, 1000, 90);
    EXPECT_LE(timer, 4) << "the timer is only measured again now and then";
    EXPECT_EQ(choice.Current(), Way::Sleep);
}

TEST(TypingPause, SleepRunsATickLongOnceHidden_TheTimerTakesOverAfterAFewPauses)
{
    PauseChoice choice(true);
    Pauses(choice, 100, 1000, 90);
    Pauses(choice, 1, 1000, 14600); // one late pause: the scheduler, not the system
    EXPECT_EQ(choice.Current(), Way::Sleep);
    Pauses(choice, PauseChoice::kLongInARow, 1000, 14600); // the window hidden: no raised resolution
    EXPECT_EQ(choice.Current(), Way::Timer);
    const auto [timer, sleep] = Pauses(choice, 2048, 1000, 14600);
    EXPECT_LE(sleep, 4);
    EXPECT_EQ(choice.Current(), Way::Timer);
}

TEST(TypingPause, TheOtherWayBecomesFaster_ItIsFoundAtTheNextCheck)
{
    PauseChoice choice(true);
    Pauses(choice, 100, 50, 14600); // hidden on Windows 11: the timer
    EXPECT_EQ(choice.Current(), Way::Timer);
    Pauses(choice, PauseChoice::kRecheckEvery + 1, 400, 30); // shown: Sleep is closer to 1 ms
    EXPECT_EQ(choice.Current(), Way::Sleep);
}

TEST(TypingPause, WithoutTheHighResolutionTimer_AlwaysSleep)
{
    PauseChoice choice(false);
    EXPECT_EQ(Pauses(choice, 1000, 0, 14600), (std::pair<int, int>{0, 1000}));
}
