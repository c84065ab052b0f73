// The policy key's values turned into the settings they lock, each checked for its type and range.
#include "storage/machine_policy.h"

#include <algorithm>
#include <cwctype>

namespace {

// Registry value names ignore case.
bool SameName(const std::wstring& a, const wchar_t* b)
{
    const std::wstring other(b);
    return std::ranges::equal(a, other, [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

std::optional<bool>* FlagField(MachinePolicy& p, const std::wstring& name)
{
    if (name == L"Enabled")
        return &p.enabled;
    if (name == L"ClipboardMode")
        return &p.clipboardMode;
    if (name == L"AutoConnect")
        return &p.autoConnect;
    if (name == L"CR")
        return &p.cr;
    if (name == L"LF")
        return &p.lf;
    if (name == L"RestoreClipboard")
        return &p.restoreClipboard;
    if (name == L"LayoutKeys")
        return &p.layoutKeys;
    return nullptr;
}

std::optional<std::wstring>* TextField(MachinePolicy& p, const std::wstring& name)
{
    if (name == L"Port")
        return &p.port;
    if (name == L"BaudRate")
        return &p.baudRate;
    return nullptr;
}

bool TextInRange(const std::wstring& name, const std::wstring& text)
{
    if (name == L"BaudRate")
        return std::ranges::any_of(kPolicyBaudRates, [&](const wchar_t* speed) { return text == speed; });
    // A port name as SERIALCOMM lists it: not empty, and short enough for the device path.
    return !text.empty() && text.size() < 250;
}

} // namespace

PolicyReading ReadMachinePolicy(const std::vector<PolicyValue>& values)
{
    PolicyReading reading;
    for (const PolicySetting& setting : kPolicySettings) {
        const auto value =
            std::ranges::find_if(values, [&](const PolicyValue& v) { return SameName(v.Name, setting.Name); });
        if (value == values.end())
            continue;
        const std::wstring name = setting.Name;
        bool typeOk = false;
        bool inRange = false;
        if (setting.Kind == PolicyValueKind::Flag) {
            typeOk = value->Number.has_value();
            inRange = typeOk && *value->Number <= 1;
            if (inRange)
                *FlagField(reading.policy, name) = *value->Number == 1;
        } else {
            typeOk = value->Text.has_value();
            inRange = typeOk && TextInRange(name, *value->Text);
            if (inRange)
                *TextField(reading.policy, name) = *value->Text;
        }
        if (!typeOk)
            reading.ignoredLines.push_back(L"Stratégie de groupe: type de données incorrect pour '" + name +
                                           L"' - valeur ignorée");
        else if (!inRange)
            reading.ignoredLines.push_back(L"Stratégie de groupe: valeur hors limites pour '" + name +
                                           L"' - valeur ignorée");
    }
    return reading;
}

std::wstring PolicySetNames(const MachinePolicy& policy)
{
    MachinePolicy copy = policy;
    std::wstring names;
    for (const PolicySetting& setting : kPolicySettings) {
        const std::wstring name = setting.Name;
        const bool set = setting.Kind == PolicyValueKind::Flag ? FlagField(copy, name)->has_value()
                                                               : TextField(copy, name)->has_value();
        if (!set)
            continue;
        if (!names.empty())
            names += L", ";
        names += name;
    }
    return names;
}
