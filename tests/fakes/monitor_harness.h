// A whole monitor on fakes, where every scenario starts: the controls as designed, the platform
// scripted, and TForm1 wired to them the way the window shell wires it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "monitor/Unit1.h"
#include "tests/fakes/fake_controls.h"
#include "tests/fakes/fake_input.h"
#include "tests/fakes/fake_policy.h"
#include "tests/fakes/fake_profile.h"
#include "tests/fakes/fake_serial.h"
#include "tests/fakes/fake_storage.h"
#include "tests/fakes/fake_toolkit.h"
#include "tests/fakes/lines.h"

// Where a broken rule of the link's state is told; the unit tests fail the running test with it.
using LinkRuleReporter = void (*)(const std::string& rule);
LinkRuleReporter& LinkRuleReport();

struct MonitorHarness {
    MonitorHarness();

    FakeToolkit toolkit;
    FakeComboBox cmbPorts, cmbBaudRate;
    FakeRadioButton rbKeyboard{true}, rbClipboard{false};
    FakeCheckBox chkCR{false}, chkLF{false}, chkAutoConnect{true};
    FakeButton btnConnect{true}, btnDisconnect{false};
    FakeLabel lblStatus;
    FakeMemo memoLastData;
    FakeMenuItem MenuActiver;
    FakeTrayIcon TrayIcon1;
    FakeMainWindow window;

    FakeLocalClock localClock{toolkit.clock};
    FakeFileSystem fileSystem;
    Cp1252CodePage codePage;
    FakeComPorts comPorts;
    FakePortOpener portOpener{comPorts};
    FakeSerialRegistry registry;
    FakeKeyboard keyboard{&toolkit.clock};
    FakeInputFocus inputFocus;
    FakeClipboard clipboard{&toolkit.clock};
    FakeSessionState session;
    FakeProfileStore profile{fileSystem, codePage};
    FakeMachinePolicyKey policyKey;
    FakeEventSink events;

    TForm1 form;

    // Off only where a test makes the monitor's state by hand, which the rules need not hold.
    bool checkLinkRules = true;

    static inline const std::wstring kSettingsFile = L"C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini";

    // Start-up as the program entry runs it, errors going to the report.
    void Create();
    // Start-up with automatic connection off (in the settings file too), so that nothing is
    // searched; the start-up lines are read off.
    void CreateIdle();
    // Start-up with a device on the first of `ports` (the others silent), run until the start-up
    // search has confirmed it; the lines so far are read off. False when it did not connect.
    bool StartConnected(const std::vector<std::wstring>& ports);
    // Shutdown: FormDestroy under the error report.
    void Destroy();
    // Runs a handler as the message loop does.
    void Dispatch(const std::function<void()>& handler) { toolkit.Dispatch(handler); }
    void RunFor(std::uint64_t ms) { toolkit.RunFor(ms); }
    // Runs the clock up to and including the next tick of the port watch.
    void RunToNextWatchTick() { RunFor(toolkit.TimerDeviceWatch.due - toolkit.clock.Now()); }

    // Adds a listed port with a device behind it.
    FakeDevice& AddPort(const std::wstring& name, bool answers = false);

    // The log's messages in order across every day's file, time stamps removed;
    // a message with line breaks is kept whole.
    std::vector<std::wstring> LogMessages() const;
    // The messages logged since the last call.
    std::vector<std::wstring> NewLogMessages();

private:
    std::size_t seen_ = 0;
};
