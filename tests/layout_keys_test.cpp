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

// Every unit in one SendInput call and one pause, as without the layout; the controls as today.
TEST(LayoutKeys, Typing_OneCallAndOnePausePerUnit_ControlsAndUnicodeAsWithoutTheLayout)
{
    FakeClock clock;
    FakeKeyboard keyboard{&clock};
    FakeLayout azerty = FakeAzertyLayout();
    const TypingOutcome typed = SendKeystrokes(keyboard, clock, L"A\u00ea\t\u2713\r", &azerty);
    ASSERT_EQ(keyboard.calls.size(), 5u);
    EXPECT_EQ(Shown(keyboard.calls[0].records), "+Shift/2A +A/10 -A/10 -Shift/2A");
    EXPECT_EQ(Shown(keyboard.calls[1].records), "+DD/1A -DD/1A +E/12 -E/12");
    EXPECT_EQ(TypedKeys({keyboard.calls[2], keyboard.calls[3], keyboard.calls[4]}),
              (std::vector<std::wstring>{L"{Tab}", L"\u2713", L"{Enter}"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{1, 1, 1, 1, 1}));
    EXPECT_EQ(typed.Events, 4 + 4 + 2 + 2 + 2);
    EXPECT_EQ(typed.Refused, 0);
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

// A long burst asks the layout about each different character once.
TEST(LayoutKeys, RepeatedCharacters_AreLookedUpOnce)
{
    FakeClock clock;
    FakeKeyboard keyboard{&clock};
    FakeLayout us = FakeUsLayout();
    SendKeystrokes(keyboard, clock, std::wstring(200, L'a') + std::wstring(200, L'B'), &us);
    EXPECT_EQ(keyboard.calls.size(), 400u);
    EXPECT_LE(us.charOfCalls, 4);
}
