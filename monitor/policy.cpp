// Machine policy over the settings file: read at start-up and when Windows says policy changed,
// each value set shown on its control and locked there; and the monitor's reports to the
// Windows event log.
#include <algorithm>
#include <vector>

#include "monitor/Unit1.h"

namespace {

} // namespace

// Right after LoadSettings: a value set wins over the file's. Its lines wait for LogMachinePolicy.
void TForm1::ApplyMachinePolicy()
{
    policyReading_ = ReadMachinePolicy(platform_.policyKey.ReadValues());
    if (Policy() != MachinePolicy{})
        ApplyPolicyToControls(nullptr);
}

// With no policy at all, nothing is said.
void TForm1::LogMachinePolicy()
{
    for (const std::wstring& line : policyReading_.ignoredLines)
        AddLog(line);
    if (const std::wstring names = PolicySetNames(Policy()); !names.empty())
        AddLog(L"Stratégie de groupe: paramètres imposés: " + names);
}

// Windows sends this at every policy refresh, changed or not: only a change is applied and logged.
// It shows on the controls at once and takes effect on the next burst or search.
void TForm1::PolicyChanged()
{
    if (destroyed_)
        return;
    PolicyReading reading = ReadMachinePolicy(platform_.policyKey.ReadValues());
    if (reading == policyReading_)
        return;
    const MachinePolicy before = Policy();
    policyReading_ = std::move(reading);
    for (const std::wstring& line : policyReading_.ignoredLines)
        AddLog(line);
    const std::wstring names = PolicySetNames(Policy());
    AddLog(names.empty() ? std::wstring(L"Stratégie de groupe: aucun paramètre imposé")
                         : L"Stratégie de groupe: paramètres imposés: " + names);
    ApplyPolicyToControls(&before);
}

// Each value set is shown and its control disabled; a value no longer set gives its control back
// as it stands. `before` is the policy in force until now, none at start-up.
void TForm1::ApplyPolicyToControls(const MachinePolicy* before)
{
    const MachinePolicy& p = Policy();
    if (p.clipboardMode)
        (*p.clipboardMode ? rbClipboard : rbKeyboard).SetChecked(true);
    if (p.autoConnect)
        chkAutoConnect.SetChecked(*p.autoConnect);
    if (p.cr)
        chkCR.SetChecked(*p.cr);
    if (p.lf)
        chkLF.SetChecked(*p.lf);
    if (p.baudRate)
        SelectExact(cmbBaudRate, *p.baudRate);
    // The port a search starts from and that is tried again: changed only while idle, since
    // otherwise the list shows the port in use.
    if (p.port && (before == nullptr || before->port != p.port) && State() == LinkState::Idle) {
        SelectExact(cmbPorts, *p.port);
        RememberDevicePort(*p.port);
    }
    if (p.enabled && *p.enabled != IsEnabled) {
        if (before == nullptr) {
            IsEnabled = *p.enabled;
            MenuActiver.SetCaption(IsEnabled ? L"Désactiver" : L"Activer");
        } else {
            SetMonitorEnabled(*p.enabled);
        }
    }

    rbKeyboard.SetEnabled(!p.clipboardMode);
    rbClipboard.SetEnabled(!p.clipboardMode);
    chkAutoConnect.SetEnabled(!p.autoConnect);
    chkCR.SetEnabled(!p.cr);
    chkLF.SetEnabled(!p.lf);
    MenuActiver.SetEnabled(!p.enabled);
    // While busy both lists are disabled anyway; the idle layout keeps a locked one disabled.
    if (State() == LinkState::Idle) {
        cmbPorts.SetEnabled(!p.port);
        cmbBaudRate.SetEnabled(!p.baudRate);
    }
}

void TForm1::ReportToEventLog(EventKind kind, const std::vector<std::wstring>& strings)
{
    platform_.events.Report(kind, strings);
}
