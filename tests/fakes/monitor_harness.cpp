// The harness's wiring and start-ups (see monitor_harness.h).
#include "tests/fakes/monitor_harness.h"

#include <regex>

#include "ui/form_layout.h"

MonitorHarness::MonitorHarness()
    : form(FormControls{.cmbPorts = cmbPorts,
                        .cmbBaudRate = cmbBaudRate,
                        .rbKeyboard = rbKeyboard,
                        .rbClipboard = rbClipboard,
                        .chkCR = chkCR,
                        .chkLF = chkLF,
                        .chkAutoConnect = chkAutoConnect,
                        .btnConnect = btnConnect,
                        .btnDisconnect = btnDisconnect,
                        .lblStatus = lblStatus,
                        .memoLastData = memoLastData,
                        .MenuActiver = MenuActiver,
                        .TrayIcon1 = TrayIcon1,
                        .Timer1 = toolkit.Timer1,
                        .TimerDetection = toolkit.TimerDetection,
                        .TimerDeviceWatch = toolkit.TimerDeviceWatch,
                        .TimerDelivery = toolkit.TimerDelivery,
                        .TimerArrivalPause = toolkit.TimerArrivalPause,
                        .Window = window,
                        .App = toolkit},
           FormPlatform{.clock = toolkit.clock,
                        .localClock = localClock,
                        .fileSystem = fileSystem,
                        .codePage = codePage,
                        .comPorts = comPorts,
                        .portOpener = portOpener,
                        .registry = registry,
                        .keyboard = keyboard,
                        .inputFocus = inputFocus,
                        .clipboard = clipboard,
                        .profile = profile,
                        .session = session,
                        .policyKey = policyKey,
                        .events = events})
{
    rbKeyboard.group = rbClipboard.group = {&rbKeyboard, &rbClipboard};
    toolkit.Timer1.OnTimer = [this] { form.Timer1Timer(); };
    toolkit.TimerDetection.OnTimer = [this] { form.TimerDetectionTimer(); };
    toolkit.TimerDeviceWatch.OnTimer = [this] { form.TimerDeviceWatchTimer(); };
    toolkit.TimerDelivery.OnTimer = [this] { form.TimerDeliveryTimer(); };
    toolkit.TimerArrivalPause.OnTimer = [this] { form.TimerArrivalPauseTimer(); };
    // The outcome comes back as the window's message does: one more event.
    portOpener.completed = [this](std::uint32_t ticket, const PortOpenOutcome& outcome) {
        Dispatch([&, ticket] { form.PortOpenCompleted(ticket, outcome); });
    };
    // Every scenario also checks the link's rules, after each event it dispatches.
    toolkit.afterEvent = [this] {
        if (!checkLinkRules)
            return;
        if (const auto broken = form.BrokenLinkRule(); broken && LinkRuleReport())
            LinkRuleReport()("link rule broken at " + std::to_string(toolkit.clock.Now()) +
                             " ms: " + std::string(broken->begin(), broken->end()));
    };
}

LinkRuleReporter& LinkRuleReport()
{
    static LinkRuleReporter reporter = nullptr;
    return reporter;
}

void MonitorHarness::Create()
{
    Dispatch([this] { form.FormCreate(); });
}

void MonitorHarness::CreateIdle()
{
    chkAutoConnect.checked = false;
    fileSystem.files[kSettingsFile] = "[Settings]\r\nAutoConnect=0\r\n";
    Create();
    NewLogMessages();
}

bool MonitorHarness::StartConnected(const std::vector<std::wstring>& ports)
{
    for (std::size_t i = 0; i < ports.size(); ++i)
        AddPort(ports[i], i == 0);
    Create();
    RunFor(300);
    NewLogMessages();
    return form.IsConnected && form.OpenPortName() == ports.front();
}

void MonitorHarness::Destroy()
{
    Dispatch([this] { form.FormDestroy(); });
}

FakeDevice& MonitorHarness::AddPort(const std::wstring& name, bool answers)
{
    registry.AddPort(name);
    FakeDevice& d = comPorts.Device(name);
    d.answersHandshake = answers;
    return d;
}

std::vector<std::wstring> MonitorHarness::LogMessages() const
{
    static const std::wregex stamp(LR"(^\d{4}-\d\d-\d\d \d\d.\d\d.\d\d - )");
    std::vector<std::wstring> messages;
    Cp1252CodePage cp;
    for (const auto& [path, bytes] : fileSystem.files) {
        if (path.find(L"\\logs\\VORTikaMonitor_") == std::wstring::npos)
            continue;
        std::wstring text = cp.ToWide(bytes);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find(L"\r\n", start);
            if (end == std::wstring::npos)
                end = text.size();
            const std::wstring line = text.substr(start, end - start);
            std::wsmatch m;
            if (std::regex_search(line, m, stamp))
                messages.push_back(line.substr(static_cast<std::size_t>(m.length(0))));
            else if (!messages.empty())
                messages.back() += L"\r\n" + line;
            start = end + 2;
        }
    }
    return messages;
}

std::vector<std::wstring> MonitorHarness::NewLogMessages()
{
    auto all = LogMessages();
    std::vector<std::wstring> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seen_, all.size())), all.end());
    seen_ = all.size();
    return fresh;
}
