#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/keystrokes.h"
#include "input/layout_keys.h"
#include "tests/fakes/fake_input.h"
#include "tests/fakes/fake_layout.h"
#include "tests/fakes/fake_toolkit.h"

namespace {

// "+Shift/2A +A/1E -A/1E -Shift/2A": each record's press (+) or release (-), key and scan code.
std::string Shown(const std::vector<KeyboardRecord>& records)
{
    std::string out;
    for (const KeyboardRecord& r : records) {
        if (!out.empty())
            out += ' ';
        if (r.time != 0 || r.dwExtraInfo != 0 || (r.dwFlags & ~kKeyEventFKeyUp) != 0) {
            out += '?';
            continue;
        }
        out += (r.dwFlags & kKeyEventFKeyUp) != 0 ? '-' : '+';
        char name[16];
        if (r.wVk == 16 || r.wVk == 17 || r.wVk == 18)
            out += r.wVk == 16 ? "Shift" : r.wVk == 17 ? "Ctrl" : "Alt";
        else if ((r.wVk >= '0' && r.wVk <= '9') || (r.wVk >= 'A' && r.wVk <= 'Z'))
            out += static_cast<char>(r.wVk);
        else {
            std::snprintf(name, sizeof name, "%02X", r.wVk);
            out += name;
        }
        std::snprintf(name, sizeof name, "/%02X", r.wScan);
        out += name;
    }
    return out;
}

} // namespace

TEST(LayoutKeys, EachCharacter_IsTheLayoutsKeyWithItsModifiers_OrNoneForUnicode)
{
    struct Case {
        const char* layout;
        bool capsLock;
        std::uint16_t unit;
        std::string keys; // empty: no key gives it, it goes as Unicode
    };
    const Case cases[] = {
        {"US", false, 'a', "+A/1E -A/1E"},
        {"US", false, 'A', "+Shift/2A +A/1E -A/1E -Shift/2A"},
        {"US", true, 'A', "+A/1E -A/1E"},
        {"US", true, 'a', "+Shift/2A +A/1E -A/1E -Shift/2A"},
        {"US", true, '1', "+1/02 -1/02"},
        {"US", false, '!', "+Shift/2A +1/02 -1/02 -Shift/2A"},
        {"US", false, ';', "+BA/27 -BA/27"},
        {"US", false, '-', "+BD/0C -BD/0C"},
        {"US", false, ' ', "+20/39 -20/39"},
        {"US", false, 0xE9, ""},   // é: no key, no dead acute
        {"US", false, 0x20AC, ""}, // €
        {"US", false, 0xD83D, ""}, // half of a surrogate pair
        {"AZERTY", false, 'a', "+A/10 -A/10"},
        {"AZERTY", false, 'q', "+Q/1E -Q/1E"},
        {"AZERTY", false, 'A', "+Shift/2A +A/10 -A/10 -Shift/2A"},
        {"AZERTY", true, 'A', "+A/10 -A/10"},
        {"AZERTY", true, 'a', "+Shift/2A +A/10 -A/10 -Shift/2A"},
        {"AZERTY", false, 0xE9, "+2/03 -2/03"}, // é
        {"AZERTY", false, '1', "+Shift/2A +1/02 -1/02 -Shift/2A"},
        {"AZERTY", true, '1', "+1/02 -1/02"}, // CapsLock gives the digits row's digits
        {"AZERTY", false, '@', "+Ctrl/1D +Alt/38 +0/0B -0/0B -Alt/38 -Ctrl/1D"},
        {"AZERTY", false, 0x20AC, "+Ctrl/1D +Alt/38 +E/12 -E/12 -Alt/38 -Ctrl/1D"},           // €
        {"AZERTY", false, 0xEA, "+DD/1A -DD/1A +E/12 -E/12"},                                 // ê
        {"AZERTY", false, 0xCA, "+DD/1A -DD/1A +Shift/2A +E/12 -E/12 -Shift/2A"},             // Ê
        {"AZERTY", true, 0xEA, "+DD/1A -DD/1A +Shift/2A +E/12 -E/12 -Shift/2A"},              // ê
        {"AZERTY", false, 0xEB, "+Shift/2A +DD/1A -DD/1A -Shift/2A +E/12 -E/12"},             // ë
        {"AZERTY", false, 0xF1, "+Ctrl/1D +Alt/38 +2/03 -2/03 -Alt/38 -Ctrl/1D +N/31 -N/31"}, // ñ
        {"AZERTY", false, 0xE1, ""},                                                          // á: no dead acute
        {"AZERTY", false, 0x2713, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + (c.capsLock ? " CapsLock " : " ") + std::to_string(c.unit));
        FakeLayout layout = std::string(c.layout) == "US" ? FakeUsLayout() : FakeAzertyLayout();
        layout.capsLockOn = c.capsLock;
        EXPECT_EQ(Shown(LayoutKeyRecords(layout, c.unit)), c.keys);
    }
}

// Layout keys in a row share one SendInput call and their pauses; controls and characters of no key
// go as without the layout, each in its own call and pause.
TEST(LayoutKeys, Typing_KeysInARowInOneCallWithTheirPauses_ControlsAndUnicodeAsWithoutTheLayout)
{
    FakeClock clock;
    FakeKeyboard keyboard{&clock};
    FakeLayout azerty = FakeAzertyLayout();
    const TypingOutcome typed = SendKeystrokes(keyboard, clock, L"A\u00ea\t\u2713\u00e9\r", &azerty);
    ASSERT_EQ(keyboard.calls.size(), 5u);
    EXPECT_EQ(Shown(keyboard.calls[0].records), "+Shift/2A +A/10 -A/10 -Shift/2A +DD/1A -DD/1A +E/12 -E/12");
    EXPECT_EQ(TypedKeys({keyboard.calls[1], keyboard.calls[2]}), (std::vector<std::wstring>{L"{Tab}", L"\u2713"}));
    EXPECT_EQ(Shown(keyboard.calls[3].records), "+2/03 -2/03");
    EXPECT_EQ(TypedKeys({keyboard.calls[4]}), std::vector<std::wstring>{L"{Enter}"});
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{2, 1, 1, 1, 1}));
    EXPECT_EQ(typed.Events, 8 + 2 + 2 + 2 + 2);
    EXPECT_EQ(typed.Refused, 0);
}

// A long run of keys goes in calls of a bounded size, the target paced as without the layout.
TEST(LayoutKeys, LongRun_CallsOfBoundedSize_OnePausePerUnit_EachCharacterLookedUpOnce)
{
    FakeClock clock;
    FakeKeyboard keyboard{&clock};
    FakeLayout us = FakeUsLayout();
    SendKeystrokes(keyboard, clock, std::wstring(50, L'a') + std::wstring(20, L'B'), &us);
    ASSERT_EQ(keyboard.calls.size(), 3u);
    EXPECT_EQ(keyboard.calls[0].records.size(), 64u);
    EXPECT_EQ(keyboard.calls[1].records.size(), 18u * 2 + 14u * 4);
    EXPECT_EQ(keyboard.calls[2].records.size(), 6u * 4);
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{32, 32, 6}));
    EXPECT_LE(us.charOfCalls, 4);
}

// SendInput cut short inside a key's call: the modifiers and the key it left down are released at
// once, last pressed first, so that no Shift, Ctrl or Alt stays down for the operator.
TEST(LayoutKeys, CallCutShort_ReleasesTheModifiersAndKeyItLeftDown)
{
    struct Case {
        int inserted;
        std::string released; // empty: no second call
    };
    const Case cases[] = {
        {0, ""},
        {1, "-Ctrl/1D"},
        {2, "-Alt/38 -Ctrl/1D"},
        {3, "-0/0B -Alt/38 -Ctrl/1D"},
        {4, "-Alt/38 -Ctrl/1D"},
        {5, "-Ctrl/1D"},
        {6, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inserted);
        FakeClock clock;
        FakeKeyboard keyboard{&clock};
        FakeLayout azerty = FakeAzertyLayout();
        keyboard.insertsOnly = {c.inserted};
        const TypingOutcome typed = SendKeystrokes(keyboard, clock, L"@", &azerty);
        EXPECT_EQ(typed.Refused, 6 - c.inserted);
        ASSERT_EQ(keyboard.calls.size(), c.released.empty() ? 1u : 2u);
        if (!c.released.empty())
            EXPECT_EQ(Shown(keyboard.calls[1].records), c.released);
    }
}
