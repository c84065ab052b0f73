#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "input/input_sink.h"
#include "tests/fakes/fake_toolkit.h"

// One call into the input stream, in order.
struct InputCall {
    enum class Kind { SendInput, KeybdEvent } kind;
    std::vector<KeyboardRecord> records; // SendInput: the records of the call
    std::uint8_t vk = 0, scan = 0;       // keybd_event
    std::uint32_t flags = 0;
    std::uintptr_t extra = 0;
    std::uint64_t at = 0; // virtual ms
};

class FakeKeyboard : public KeyboardSink {
public:
    explicit FakeKeyboard(const FakeClock* clock = nullptr) : clock_(clock) {}
    int SendRecords(const KeyboardRecord* records, int count) override
    {
        calls.push_back(
            {InputCall::Kind::SendInput, {records, records + count}, 0, 0, 0, 0, clock_ ? clock_->Now() : 0});
        return refusesInput ? 0 : count;
    }
    void SendKeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags, std::uintptr_t extra) override
    {
        calls.push_back({InputCall::Kind::KeybdEvent, {}, vk, scan, flags, extra, clock_ ? clock_->Now() : 0});
    }
    std::vector<InputCall> calls;
    bool refusesInput = false; // as for an application in front with higher rights

private:
    const FakeClock* clock_;
};

class FakeInputFocus : public InputFocus {
public:
    InputTarget Target() override { return target; }
    InputTarget target = InputTarget::OtherApplication;
};

class FakeClipboard : public Clipboard {
public:
    bool Open() override
    {
        ops.push_back("Open");
        if (heldByOther || busyForOpens > 0) {
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
        return true;
    }
    bool SetUnicodeText(ClipboardBlock block) override
    {
        ops.push_back("SetData");
        if (setDataFails)
            return false;
        content = blocks.at(block - 1);
        return true;
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
    std::vector<std::wstring> blocks;
    std::vector<std::string> ops;
};

// What a run of input calls typed, one token per call: the character of a Unicode
// press/release pair; "{Enter}", "{Tab}", "{Back}", "{Esc}" or "{VK n}" for a virtual-key
// pair; "{kbd vk/scan/flags/extra}" for a keybd_event; "{bad}" for a SendInput call of
// any other shape (other count, order, flags, time or extra information).
inline std::vector<std::wstring> TypedKeys(const std::vector<InputCall>& calls)
{
    std::vector<std::wstring> keys;
    for (const InputCall& c : calls) {
        if (c.kind == InputCall::Kind::KeybdEvent) {
            keys.push_back(L"{kbd " + std::to_wstring(c.vk) + L"/" + std::to_wstring(c.scan) + L"/" +
                           std::to_wstring(c.flags) + L"/" + std::to_wstring(c.extra) + L"}");
            continue;
        }
        const auto& r = c.records;
        const bool pair = r.size() == 2 && r[0].wVk == r[1].wVk && r[0].wScan == r[1].wScan && r[0].time == 0 &&
                          r[1].time == 0 && r[0].dwExtraInfo == 0 && r[1].dwExtraInfo == 0;
        if (pair && r[0].wVk == 0 && r[0].dwFlags == kKeyEventFUnicode &&
            r[1].dwFlags == (kKeyEventFUnicode | kKeyEventFKeyUp)) {
            keys.push_back(std::wstring(1, static_cast<wchar_t>(r[0].wScan)));
        } else if (pair && r[0].wVk != 0 && r[0].wScan == 0 && r[0].dwFlags == 0 && r[1].dwFlags == kKeyEventFKeyUp) {
            switch (r[0].wVk) {
            case 13:
                keys.push_back(L"{Enter}");
                break;
            case 9:
                keys.push_back(L"{Tab}");
                break;
            case 8:
                keys.push_back(L"{Back}");
                break;
            case 27:
                keys.push_back(L"{Esc}");
                break;
            default:
                keys.push_back(L"{VK " + std::to_wstring(r[0].wVk) + L"}");
            }
        } else {
            keys.push_back(L"{bad}");
        }
    }
    return keys;
}
