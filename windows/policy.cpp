// Reads the policy key's values that the monitor knows, each with its type as the registry holds it.
#include "windows/policy.h"

#include <vector>

#include "windows/owners.h"

namespace {

constexpr const wchar_t* kPolicyKey = L"SOFTWARE\\Policies\\VORTIKA\\VORTikaMonitor";
// Longer texts are no setting's value: read as a wrong type would be, and ignored.
constexpr DWORD kLongestText = 1024 * sizeof(wchar_t);

std::optional<PolicyValue> ReadValue(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    PolicyValue value{.Name = name, .Number = std::nullopt, .Text = std::nullopt};
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            value.Number = number;
    } else if (type == REG_SZ && size <= kLongestText) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = size;
        if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) ==
                ERROR_SUCCESS &&
            type == REG_SZ)
            value.Text = std::wstring(data.data()); // up to the first NUL, the terminator added above
    }
    return value;
}

} // namespace

std::vector<PolicyValue> Win32MachinePolicyKey::ReadValues()
{
    std::vector<PolicyValue> values;
    win32::UniqueKey key;
    // The 64-bit view, where Group Policy writes, and never created.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS)
        return values;
    for (const PolicySetting& setting : kPolicySettings)
        if (auto value = ReadValue(key.Get(), setting.Name))
            values.push_back(std::move(*value));
    return values;
}

bool IsPolicyChange(LPARAM lParam)
{
    const auto* text = reinterpret_cast<const wchar_t*>(lParam);
    return text != nullptr && ::lstrcmpiW(text, L"Policy") == 0;
}
