// Typing: the keystroke table, the records of one key, and the Ctrl+V of a paste.
#include "input/keystrokes.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "input/layout_keys.h"
#include "input/virtual_keys.h"

namespace {

// SendInput inserts a call's events in order and stops at the first it cannot insert. A key whose
// press went in and whose release did not would stay down for the whole session (Ctrl turning
// every later key into a shortcut): its release is sent at once, last pressed first.
void ReleaseKeysLeftDown(KeyboardSink& keyboard, const KeyboardRecord* records, int inserted, int count)
{
    std::vector<KeyboardRecord> releases;
    for (int i = 0; i < inserted; ++i) {
        const KeyboardRecord& press = records[i];
        if ((press.dwFlags & kKeyEventFKeyUp) != 0)
            continue;
        const auto releasedLater = [&](int from, int to) {
            for (int j = from; j < to; ++j)
                if ((records[j].dwFlags & kKeyEventFKeyUp) != 0 && records[j].wVk == press.wVk &&
                    records[j].wScan == press.wScan)
                    return true;
            return false;
        };
        if (!releasedLater(i + 1, inserted) && releasedLater(inserted, count))
            releases.insert(releases.begin(), {press.wVk, press.wScan, press.dwFlags | kKeyEventFKeyUp, 0, 0});
    }
    if (!releases.empty())
        keyboard.SendRecords(releases.data(), static_cast<int>(releases.size()));
}

TypingOutcome Send(KeyboardSink& keyboard, const KeyboardRecord* records, int count)
{
    const int inserted = std::clamp(keyboard.SendRecords(records, count), 0, count);
    ReleaseKeysLeftDown(keyboard, records, inserted, count);
    return {count, count - inserted};
}

template <std::size_t N> TypingOutcome Send(KeyboardSink& keyboard, const KeyboardRecord (&records)[N])
{
    return Send(keyboard, records, static_cast<int>(N));
}

// Press and release travel in one SendInput call so no other input can fall between them.
TypingOutcome SendPair(KeyboardSink& keyboard, std::uint16_t vk, std::uint16_t scan, std::uint32_t flags)
{
    const KeyboardRecord records[2] = {
        {vk, scan, flags, 0, 0},
        {vk, scan, flags | kKeyEventFKeyUp, 0, 0},
    };
    return Send(keyboard, records);
}

} // namespace

TypingOutcome SendVirtualKey(KeyboardSink& keyboard, std::uint16_t virtualKey)
{
    return SendPair(keyboard, virtualKey, keyboard.ScanCode(virtualKey), 0);
}

TypingOutcome SendUnicodeChar(KeyboardSink& keyboard, std::uint16_t codeUnit)
{
    return SendPair(keyboard, 0, codeUnit, kKeyEventFUnicode);
}

TypingOutcome SendKeystrokes(KeyboardSink& keyboard, Clock& clock, const std::wstring& text, KeyboardLayout* layout)
{
    TypingOutcome outcome;
    // A burst repeats few characters: each is looked up on the layout once.
    std::unordered_map<std::uint16_t, std::vector<KeyboardRecord>> layoutKeys;
    // Layout keys in a row share one SendInput call and its pauses: each event costs Windows less
    // than a call, and the target still gets no more than about one character per millisecond.
    std::vector<KeyboardRecord> pending;
    std::uint32_t pendingUnits = 0;
    const auto sendPending = [&] {
        if (pendingUnits == 0)
            return;
        outcome += Send(keyboard, pending.data(), static_cast<int>(pending.size()));
        clock.Sleep(pendingUnits);
        pending.clear();
        pendingUnits = 0;
    };
    const auto typedAsLayoutKey = [&](std::uint16_t unit) {
        if (layout == nullptr || unit < 32)
            return false;
        auto found = layoutKeys.find(unit);
        if (found == layoutKeys.end())
            found = layoutKeys.emplace(unit, LayoutKeyRecords(*layout, unit)).first;
        if (found->second.empty())
            return false;
        pending.insert(pending.end(), found->second.begin(), found->second.end());
        if (++pendingUnits == kLayoutKeysPerCall)
            sendPending();
        return true;
    };
    for (const wchar_t ch : text) {
        // wchar_t is 32-bit off Windows; the text still holds UTF-16 units.
        const auto unit = static_cast<std::uint16_t>(ch);
        if (typedAsLayoutKey(unit))
            continue;
        sendPending();
        switch (unit) {
        case 8:
            outcome += SendVirtualKey(keyboard, kVkBack);
            break;
        case 9:
            outcome += SendVirtualKey(keyboard, kVkTab);
            break;
        case 10: // LF types Enter, as CR does: the target never sees a bare line feed
        case 13:
            outcome += SendVirtualKey(keyboard, kVkReturn);
            break;
        case 27:
            outcome += SendVirtualKey(keyboard, kVkEscape);
            break;
        default:
            // Letters go as Unicode characters (unless a key of the layout asked for gives them,
            // above), never as virtual keys; the remaining control units are dropped.
            if (unit >= 32)
                outcome += SendUnicodeChar(keyboard, unit);
            break;
        }
        // Every unit, dropped ones included, costs the pause: it paces the target
        // at about one character per millisecond.
        clock.Sleep(1);
    }
    sendPending();
    return outcome;
}

TypingOutcome PressCtrlV(KeyboardSink& keyboard)
{
    const std::uint16_t ctrl = keyboard.ScanCode(kVkControl);
    const std::uint16_t v = keyboard.ScanCode(kVkV);
    const KeyboardRecord records[4] = {
        {kVkControl, ctrl, 0, 0, 0},
        {kVkV, v, 0, 0, 0},
        {kVkV, v, kKeyEventFKeyUp, 0, 0},
        {kVkControl, ctrl, kKeyEventFKeyUp, 0, 0},
    };
    return Send(keyboard, records);
}
