// The Win32 binding of the machine policy key, and the test of WM_SETTINGCHANGE's text.
#pragma once
#include <windows.h>

#include "storage/machine_policy.h"

class Win32MachinePolicyKey : public MachinePolicyKey {
public:
    std::vector<PolicyValue> ReadValues() override;
};

// WM_SETTINGCHANGE says policy changed when its text is "Policy".
bool IsPolicyChange(LPARAM lParam);
