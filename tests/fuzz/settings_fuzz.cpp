// libFuzzer target: the monitor's own reading of its settings, the settings file through
// LoadSettings and the policy key's values through ReadMachinePolicy, on a whole monitor on the
// test fakes; and the profile integer parse on its own.
// Input: fields separated by byte 0x01. The first is the settings file's bytes (cp1252); each
// other is one value of the policy key: its first byte chooses the name (low four bits: the
// setting, in kPolicySettings' order; bit 4: in lower case) and the type (bits 5-6: a number, a
// text, neither), the rest is the data (a number: up to four bytes, big-endian, each XOR 2 so that
// 0 and 1 need no separator byte; a text: each byte its Latin-1 character).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "storage/machine_policy.h"
#include "storage/profile_bool.h"
#include "tests/fakes/monitor_harness.h"

namespace {

const std::vector<std::wstring> kPorts{L"COM1", L"COM3"};
const std::vector<std::wstring> kSpeeds{L"9600", L"19200", L"38400", L"57600", L"115200"};

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

void CheckIntegers(const std::wstring& text, std::uint32_t seed)
{
    const auto parsed = ParseProfileInteger(text);
    Check(ParseProfileBool(text, true) == ParseProfileBool(text, false) || !parsed);
    if (parsed)
        Check(ParseProfileBool(text, false) == (*parsed != 0));
    const auto n = static_cast<std::int32_t>(seed);
    Check(ParseProfileInteger(std::to_wstring(n)) == n);
    wchar_t hex[16];
    std::swprintf(hex, 16, L"$%X", seed);
    Check(ParseProfileInteger(hex) == n);
}

PolicyValue ValueOf(const std::string& field)
{
    const auto head = field.empty() ? std::uint8_t{0} : static_cast<std::uint8_t>(field[0]);
    const std::string data = field.empty() ? std::string{} : field.substr(1);
    PolicyValue value{.Name = kPolicySettings[(head & 0x0F) % kPolicySettings.size()].Name,
                      .Number = std::nullopt,
                      .Text = std::nullopt};
    if ((head & 0x10) != 0)
        std::ranges::transform(value.Name, value.Name.begin(), [](wchar_t c) { return std::towlower(c); });
    switch ((head >> 5) & 3) {
    case 0: {
        std::uint32_t number = 0;
        for (std::size_t i = 0; i < data.size() && i < 4; ++i)
            number = number << 8 | (static_cast<std::uint8_t>(data[i]) ^ 2u);
        value.Number = number;
        break;
    }
    case 1:
        value.Text = std::wstring(data.begin(), data.end());
        for (wchar_t& c : *value.Text)
            c = static_cast<wchar_t>(static_cast<std::uint8_t>(c));
        break;
    default:
        break; // another registry type: neither a number nor a text
    }
    return value;
}

// The controls that the settings file holds.
struct Shown {
    bool enabled, clipboard, keyboard, autoConnect, cr, lf;
    std::wstring port, speed;
};

Shown ShownBy(const MonitorHarness& h)
{
    return {h.form.IsEnabled, h.rbClipboard.checked, h.rbKeyboard.checked, h.chkAutoConnect.checked,
            h.chkCR.checked,  h.chkLF.checked,       h.cmbPorts.Text(),    h.cmbBaudRate.Text()};
}

void CheckPolicyShownAndLocked(const MonitorHarness& h, const MachinePolicy& p)
{
    const Shown shown = ShownBy(h);
    Check(!p.enabled || shown.enabled == *p.enabled);
    Check(!p.clipboardMode || (shown.clipboard == *p.clipboardMode && shown.keyboard == !*p.clipboardMode));
    Check(!p.autoConnect || shown.autoConnect == *p.autoConnect);
    Check(!p.cr || shown.cr == *p.cr);
    Check(!p.lf || shown.lf == *p.lf);
    Check(!p.baudRate || shown.speed == *p.baudRate);
    Check(h.rbKeyboard.enabled == !p.clipboardMode && h.rbClipboard.enabled == !p.clipboardMode);
    Check(h.chkAutoConnect.enabled == !p.autoConnect && h.chkCR.enabled == !p.cr && h.chkLF.enabled == !p.lf);
    Check(h.MenuActiver.enabled == !p.enabled);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01)
            fields.emplace_back();
        else
            fields.back().push_back(static_cast<char>(data[i]));
    }
    std::vector<PolicyValue> values;
    for (std::size_t i = 1; i < fields.size(); ++i)
        values.push_back(ValueOf(fields[i]));

    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < size && i < 4; ++i)
        seed = seed << 8 | data[i];

    // The policy reading: each setting named is set or ignored with one line, and what is set is
    // in range.
    const PolicyReading reading = ReadMachinePolicy(values);
    const MachinePolicy& p = reading.policy;
    std::size_t named = 0;
    for (const PolicySetting& setting : kPolicySettings)
        named += std::ranges::any_of(values, [&](const PolicyValue& v) {
            return v.Name.size() == std::wcslen(setting.Name) &&
                   std::ranges::equal(v.Name, std::wstring(setting.Name),
                                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
        });
    const std::wstring names = PolicySetNames(p);
    const std::size_t set = names.empty() ? 0 : 1 + static_cast<std::size_t>(std::ranges::count(names, L','));
    Check(named == set + reading.ignoredLines.size());
    Check(!p.baudRate || std::ranges::find(kSpeeds, *p.baudRate) != kSpeeds.end());
    Check(!p.port || (!p.port->empty() && p.port->size() < 250));

    // Start-up with that file and that policy: nothing thrown, every ignored value logged, the
    // lists showing one of their items, the policy shown and locked.
    MonitorHarness h;
    for (const std::wstring& port : kPorts)
        h.AddPort(port);
    h.fileSystem.files[MonitorHarness::kSettingsFile] = fields[0];
    h.policyKey.values = values;
    h.Create();
    Check(h.toolkit.messageBoxes.empty() || h.toolkit.messageBoxes.back().Kind != MessageBoxKind::Error);
    const std::vector<std::wstring> lines = h.LogMessages();
    for (const std::wstring& line : reading.ignoredLines)
        Check(std::ranges::find(lines, line) != lines.end());
    const std::wstring text = h.codePage.ToWide(fields[0]);
    CheckIntegers(text, seed);
    Check(std::ranges::find(kSpeeds, h.cmbBaudRate.Text()) != kSpeeds.end());
    Check(std::ranges::find(kPorts, h.cmbPorts.Text()) != kPorts.end());
    CheckPolicyShownAndLocked(h, p);

    // What the monitor saves, it reads back the same (the port unless a search moved it).
    const Shown saved = ShownBy(h);
    h.Destroy();
    MonitorHarness again;
    for (const std::wstring& port : kPorts)
        again.AddPort(port);
    again.fileSystem.files[MonitorHarness::kSettingsFile] = h.fileSystem.files[MonitorHarness::kSettingsFile];
    again.Create();
    const Shown read = ShownBy(again);
    Check(read.enabled == saved.enabled && read.clipboard == saved.clipboard && read.keyboard == saved.keyboard);
    Check(read.autoConnect == saved.autoConnect && read.cr == saved.cr && read.lf == saved.lf);
    Check(read.speed == saved.speed);
    Check(saved.autoConnect || read.port == saved.port);
    again.Destroy();
    return 0;
}
