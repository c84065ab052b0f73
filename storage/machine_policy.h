// Machine policy: the settings an administrator sets and locks under the policy key, read from the
// key's values into optional fields (absent: the settings file decides), with a line for each
// value of the wrong type or out of range.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One value of the policy key, as the registry holds it.
struct PolicyValue {
    std::wstring Name;
    std::optional<std::uint32_t> Number; // a REG_DWORD
    std::optional<std::wstring> Text;    // a REG_SZ, up to its first NUL
};

// HKLM\SOFTWARE\Policies\VORTIKA\VORTikaMonitor, read only, never created.
class MachinePolicyKey {
public:
    virtual ~MachinePolicyKey() = default;
    // The key's values; none when the key does not exist.
    virtual std::vector<PolicyValue> ReadValues() = 0;
};

struct MachinePolicy {
    std::optional<std::wstring> port;
    std::optional<std::wstring> baudRate;
    std::optional<bool> enabled;
    std::optional<bool> clipboardMode; // true: the clipboard, false: the keyboard
    std::optional<bool> autoConnect;
    std::optional<bool> cr;
    std::optional<bool> lf;
    std::optional<bool> restoreClipboard;
    std::optional<bool> layoutKeys; // keyboard mode types the layout's keys
    bool operator==(const MachinePolicy&) const = default;
};

enum class PolicyValueKind { Flag, Text };

// Every value the monitor reads, named as the settings file's key, in the file's order; the
// template in policies/ holds one policy for each.
struct PolicySetting {
    const wchar_t* Name;
    PolicyValueKind Kind;
};
inline constexpr std::array<PolicySetting, 9> kPolicySettings{{
    {L"Port", PolicyValueKind::Text},
    {L"BaudRate", PolicyValueKind::Text},
    {L"Enabled", PolicyValueKind::Flag},
    {L"ClipboardMode", PolicyValueKind::Flag},
    {L"AutoConnect", PolicyValueKind::Flag},
    {L"CR", PolicyValueKind::Flag},
    {L"LF", PolicyValueKind::Flag},
    {L"RestoreClipboard", PolicyValueKind::Flag},
    {L"LayoutKeys", PolicyValueKind::Flag},
}};

// The speeds BaudRate may take: those the speed list offers.
inline constexpr std::array<const wchar_t*, 5> kPolicyBaudRates{L"9600", L"19200", L"38400", L"57600", L"115200"};

struct PolicyReading {
    MachinePolicy policy;
    std::vector<std::wstring> ignoredLines; // one log line per value ignored
    bool operator==(const PolicyReading&) const = default;
};

PolicyReading ReadMachinePolicy(const std::vector<PolicyValue>& values);

// The names of the settings the policy sets, in the file's order, joined by ", ".
std::wstring PolicySetNames(const MachinePolicy& policy);
