// Fakes of the input seams: the keyboard records every SendInput call, the focus is set by the
// test, the clipboard keeps its blocks, its owner and who read them, the session's state is scripted.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "input/clipboard.h"
#include "input/input_sink.h"
#include "system/session_state.h"
#include "tests/fakes/fake_layout.h"
#include "tests/fakes/fake_toolkit.h"

// One SendInput call, in order.
struct InputCall {
    std::vector<KeyboardRecord> records;
    bool modifiersDown = false; // the operator's keys when the call was made
    std::uint64_t at = 0;       // virtual ms
};

// MapVirtualKeyW's scan codes on a US or French layout, for the keys the monitor sends.
inline std::uint16_t FakeScanCode(std::uint16_t vk)
{
    switch (vk) {
    case 8:
        return 0x0E;
    case 9:
        return 0x0F;
    case 13:
        return 0x1C;
    case 17:
        return 0x1D;
    case 27:
        return 0x01;
    case 86:
        return 0x2F;
    default:
        return 0;
    }
}

class FakeKeyboard : public KeyboardSink {
public:
    explicit FakeKeyboard(const FakeClock* clock = nullptr) : clock_(clock) {}
    int SendRecords(const KeyboardRecord* records, int count) override
    {
        calls.push_back({{records, records + count}, modifiersDown, clock_ ? clock_->Now() : 0});
        if (!insertsOnly.empty()) {
            const int inserted = insertsOnly.front();
            insertsOnly.erase(insertsOnly.begin());
            return inserted;
        }
        return refusesInput ? 0 : count;
    }
    std::uint16_t ScanCode(std::uint16_t vk) override { return FakeScanCode(vk); }
    bool ModifierKeysDown() override { return modifiersDown; }
    KeyboardLayout& LayoutInFront() override
    {
        ++layoutLookups;
        return *layout;
    }
    std::vector<InputCall> calls;
    bool refusesInput = false; // as for an application in front with higher rights
    // How many events each of the next calls inserts, the first ones in order (SendInput cut short).
    std::vector<int> insertsOnly;
    bool modifiersDown = false; // the operator holds Shift, Ctrl, Alt or Windows
    FakeLayout usLayout = FakeUsLayout();
    KeyboardLayout* layout = &usLayout; // the layout of the window in front
    int layoutLookups = 0;

private:
    const FakeClock* clock_;
};

class FakeInputFocus : public InputFocus {
public:
    InputTarget Target() override { return target; }
    InputTarget target = InputTarget::OtherApplication;
};

// Who owns the clipboard and what it holds, as Windows keeps it: the monitor's text stays a
// promise until a program asks for it, and asking (the monitor's own copy included) renders it.
class FakeClipboard : public Clipboard {
public:
    explicit FakeClipboard(FakeClock* clock = nullptr) : clock_(clock) {}
    bool Open() override
    {
        ops.push_back("Open");
        if (heldByOther || busyForOpens > 0 || readerAwaitsRender) {
            if (busyForOpens > 0)
                --busyForOpens;
            lastError = heldError;
            return false;
        }
        isOpen = true;
        return true;
    }
    std::uint32_t OpenError() override { return lastError; }
    std::wstring SystemErrorText(std::uint32_t code) override
    {
        if (const auto it = systemTexts.find(code); it != systemTexts.end())
            return it->second;
        return code == 5 ? L"Accès refusé.\r\n" : L"Erreur " + std::to_wstring(code) + L".\r\n";
    }
    std::optional<ClipboardBlock> AllocText(const std::wstring& text) override
    {
        ops.push_back("Alloc");
        if (allocFails)
            return std::nullopt;
        blocks.push_back(text);
        return static_cast<ClipboardBlock>(blocks.size());
    }
    bool Empty() override
    {
        ops.push_back("Empty");
        content.reset();
        keptOutOfHistory = false;
        holdsPlaced = false;
        return true;
    }
    bool SetUnicodeText(ClipboardBlock block) override
    {
        ops.push_back("SetData");
        if (setDataFails)
            return false;
        content = blocks.at(block - 1);
        placed = PlacedText::Unread;
        holdsPlaced = true;
        changedByOthers = false;
        reader = {0, foregroundProcess, {}};
        if (readsAtOnce)
            TargetReads();
        return true;
    }
    PlacedText PlacedTextState() override { return placed; }
    ClipboardReader PlacedTextReader() override { return reader; }
    bool HoldsPlacedText() override { return holdsPlaced; }
    bool ChangedByOthers() override { return changedByOthers; }
    void WaitServingReaders(std::uint32_t ms) override
    {
        if (clock_ != nullptr)
            clock_->Sleep(ms);
        if (readerAwaitsRender) {
            readerAwaitsRender = false;
            Render(readerProcess, readerProgram);
        }
    }
    bool SaveContents() override
    {
        ops.push_back("Save");
        // Reading every format renders a promise: the monitor itself becomes its reader.
        Render(kMonitorProcess, L"VORTikaMonitor.exe");
        saved = content;
        return true;
    }
    void DropSavedContents() override { saved.reset(); }
    bool RestoreContents() override
    {
        ops.push_back("Restore");
        content = saved;
        saved.reset();
        holdsPlaced = false;
        changedByOthers = false;
        return true;
    }
    // The target's loop reaches its Ctrl+V and asks for the text.
    void TargetReads() { Render(foregroundProcess, L"target.exe"); }
    // A clipboard manager or another program asks for the text before the target.
    void OtherProgramReads(const std::wstring& program) { Render(kOtherProcess, program); }
    // A program opens the clipboard and asks for the text: it holds the clipboard open until the
    // monitor's thread renders it.
    void ReaderAsksAndWaits(std::uint32_t process, const std::wstring& program)
    {
        if (placed != PlacedText::Unread)
            return;
        readerAwaitsRender = true;
        readerProcess = process;
        readerProgram = program;
    }
    // The operator copies something: the program that copies empties the clipboard and owns it.
    void OperatorCopies(const std::wstring& text)
    {
        if (placed == PlacedText::Unread)
            placed = PlacedText::Replaced;
        content = text;
        holdsPlaced = false;
        changedByOthers = true;
    }
    bool KeepOutOfHistory() override
    {
        ops.push_back("KeepOutOfHistory");
        if (historyFormatsFail)
            return false;
        keptOutOfHistory = content.has_value();
        return true;
    }
    void FreeBlock(ClipboardBlock) override { ops.push_back("Free"); }
    void Close() override
    {
        ops.push_back("Close");
        isOpen = false;
    }

    static constexpr std::uint32_t kMonitorProcess = 100;
    static constexpr std::uint32_t kOtherProcess = 300;
    bool heldByOther = false;
    int busyForOpens = 0; // another program lets go of the clipboard after this many opens
    std::uint32_t heldError = 5;
    std::map<std::uint32_t, std::wstring> systemTexts; // FormatMessageW's text by code, when scripted
    bool allocFails = false;
    bool setDataFails = false;
    bool historyFormatsFail = false;
    bool keptOutOfHistory = false; // the formats were placed with the text
    bool isOpen = false;
    std::uint32_t lastError = 0;
    std::optional<std::wstring> content = L"previous";
    std::optional<std::wstring> saved;
    // A prompt target reads a paste as soon as it is placed; a busy one when a test says so.
    bool readsAtOnce = true;
    std::uint32_t foregroundProcess = 200; // the target's, when the text is placed
    PlacedText placed = PlacedText::Read;
    ClipboardReader reader;
    bool holdsPlaced = false;
    bool changedByOthers = false;
    bool readerAwaitsRender = false;
    std::uint32_t readerProcess = 0;
    std::wstring readerProgram;
    std::vector<std::wstring> blocks;
    std::vector<std::string> ops;

private:
    void Render(std::uint32_t process, const std::wstring& program)
    {
        if (placed != PlacedText::Unread)
            return;
        placed = PlacedText::Read;
        reader.ReaderProcess = process;
        reader.ReaderProgram = program;
    }
    FakeClock* clock_;
};

class FakeSessionState : public SessionState {
public:
    std::optional<bool> Active() override { return active; }
    std::optional<bool> active; // Wine's answer: the query fails and says nothing
};

// What a run of input calls typed, one token per call: the character of a Unicode press/release
// pair; "{Enter}", "{Tab}", "{Back}", "{Esc}" or "{VK n}" for a virtual-key pair carrying its scan
// code; "{Ctrl+V}" for the paste's four events in one call; "{bad}" for a call of any other shape
// (other count, order, flags, scan code, time or extra information).
inline std::vector<std::wstring> TypedKeys(const std::vector<InputCall>& calls)
{
    const auto plain = [](const KeyboardRecord& r) { return r.time == 0 && r.dwExtraInfo == 0; };
    const auto virtualKey = [&](const KeyboardRecord& r, std::uint16_t vk, std::uint32_t flags) {
        return plain(r) && r.wVk == vk && vk != 0 && r.wScan == FakeScanCode(vk) && r.dwFlags == flags;
    };
    std::vector<std::wstring> keys;
    for (const InputCall& c : calls) {
        const auto& r = c.records;
        if (r.size() == 4 && virtualKey(r[0], 17, 0) && virtualKey(r[1], 86, 0) &&
            virtualKey(r[2], 86, kKeyEventFKeyUp) && virtualKey(r[3], 17, kKeyEventFKeyUp)) {
            keys.emplace_back(L"{Ctrl+V}");
            continue;
        }
        const bool pair =
            r.size() == 2 && plain(r[0]) && plain(r[1]) && r[0].wVk == r[1].wVk && r[0].wScan == r[1].wScan;
        if (pair && r[0].wVk == 0 && r[0].dwFlags == kKeyEventFUnicode &&
            r[1].dwFlags == (kKeyEventFUnicode | kKeyEventFKeyUp)) {
            keys.emplace_back(1, static_cast<wchar_t>(r[0].wScan));
        } else if (pair && virtualKey(r[0], r[0].wVk, 0) && virtualKey(r[1], r[0].wVk, kKeyEventFKeyUp)) {
            switch (r[0].wVk) {
            case 13:
                keys.emplace_back(L"{Enter}");
                break;
            case 9:
                keys.emplace_back(L"{Tab}");
                break;
            case 8:
                keys.emplace_back(L"{Back}");
                break;
            case 27:
                keys.emplace_back(L"{Esc}");
                break;
            default:
                keys.push_back(L"{VK " + std::to_wstring(r[0].wVk) + L"}");
            }
        } else {
            keys.emplace_back(L"{bad}");
        }
    }
    return keys;
}
