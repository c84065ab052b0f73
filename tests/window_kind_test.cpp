// Whose the window in front is, from its class, its process, its menu state and its rights.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "input/window_kind.h"

namespace {

constexpr std::uint32_t kMedium = 0x2000, kHigh = 0x3000, kSystem = 0x4000;

} // namespace

TEST(WindowKind, ClassAndProcessTell_TheShellsWindowsMenusAndHigherRightsFromTheOperatorsOwn)
{
    using enum InputTarget;
    struct Case {
        const char* name;
        std::wstring rootClass, process;
        bool inMenu;
        std::optional<std::uint32_t> integrity;
        InputTarget expected;
    };
    const Case cases[] = {
        {"an editor", L"Notepad", L"notepad.exe", false, kMedium, OtherApplication},
        {"an editor, lower rights", L"Notepad", L"notepad.exe", false, 0x1000, OtherApplication},
        {"the taskbar", L"Shell_TrayWnd", L"explorer.exe", false, kMedium, Shell},
        {"the second taskbar", L"Shell_SecondaryTrayWnd", L"explorer.exe", false, kMedium, Shell},
        {"the desktop", L"WorkerW", L"explorer.exe", false, kMedium, Shell},
        {"the overflow, Windows 11", L"TopLevelWindowForOverflowXamlIsland", L"explorer.exe", false, kMedium, Shell},
        {"Start", L"Windows.UI.Core.CoreWindow", L"StartMenuExperienceHost.exe", false, kMedium, ShellHost},
        {"Search, Windows 11", L"Windows.UI.Core.CoreWindow", L"SearchHost.exe", false, kMedium, ShellHost},
        {"Search, Windows 10", L"Windows.UI.Core.CoreWindow", L"SearchApp.exe", false, kMedium, ShellHost},
        {"Cortana, Windows 10 1809", L"Windows.UI.Core.CoreWindow", L"SearchUI.exe", false, kMedium, ShellHost},
        {"the action centre", L"Windows.UI.Core.CoreWindow", L"ShellExperienceHost.exe", false, kMedium, ShellHost},
        {"a host named in capitals", L"Windows.UI.Core.CoreWindow", L"SEARCHHOST.EXE", false, kMedium, ShellHost},
        {"a store application's window", L"Windows.UI.Core.CoreWindow", L"Calculator.exe", false, kMedium,
         OtherApplication},
        {"Task View", L"MultitaskingViewFrame", L"explorer.exe", false, kMedium, ShellHost},
        {"Alt+Tab, Windows 11", L"XamlExplorerHostIslandWindow", L"explorer.exe", false, kMedium, ShellHost},
        {"Alt+Tab, classic", L"TaskSwitcherWnd", L"", false, kMedium, ShellHost},
        {"a switch under way", L"ForegroundStaging", L"", false, kMedium, ShellHost},
        {"Explorer's Run box", L"#32770", L"explorer.exe", false, kMedium, ShellHost},
        {"a folder window", L"CabinetWClass", L"explorer.exe", false, kMedium, OtherApplication},
        {"a folder window, Windows 7 tree", L"ExploreWClass", L"Explorer.EXE", false, kMedium, OtherApplication},
        {"a folder window with its menu open", L"CabinetWClass", L"explorer.exe", true, kMedium, Menu},
        {"an editor in menu mode", L"Notepad", L"notepad.exe", true, kMedium, Menu},
        {"a menu window in front", L"#32768", L"notepad.exe", false, kMedium, Menu},
        {"run as administrator", L"Notepad", L"notepad.exe", false, kHigh, HigherRights},
        {"a service's window", L"Notepad", L"notepad.exe", false, kSystem, HigherRights},
        {"a token that cannot be opened", L"Notepad", L"", false, std::nullopt, HigherRights},
        {"an administrator's menu", L"Notepad", L"notepad.exe", true, kHigh, HigherRights},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowFacts facts;
        facts.RootClass = c.rootClass;
        facts.ProcessName = c.process;
        facts.InMenu = c.inMenu;
        facts.Integrity = c.integrity;
        EXPECT_EQ(ClassifyWindow(facts, kMedium), c.expected);
    }
}

TEST(WindowKind, OursAndTheDesktopComeFirst_UnknownOwnRightsCallNothingHigher)
{
    WindowFacts ours{.ThisProcess = true, .RootClass = L"#32768", .Integrity = std::nullopt};
    EXPECT_EQ(ClassifyWindow(ours, 0x2000), InputTarget::ThisProgram);
    WindowFacts desktop{.DesktopWindow = true, .RootClass = L"SHELLDLL_DefView", .Integrity = 0x2000};
    EXPECT_EQ(ClassifyWindow(desktop, 0x2000), InputTarget::Shell);
    WindowFacts elevated{.RootClass = L"Notepad", .Integrity = 0x3000};
    EXPECT_EQ(ClassifyWindow(elevated, std::nullopt), InputTarget::OtherApplication);
    EXPECT_EQ(ClassifyWindow(elevated, 0x3000), InputTarget::OtherApplication) << "the same rights";
}

TEST(WindowKind, TheTrayGivesTheForegroundBackToApplicationsOnly)
{
    for (const InputTarget kind : {InputTarget::OtherApplication, InputTarget::HigherRights})
        EXPECT_TRUE(IsOperatorsWindow(kind)) << static_cast<int>(kind);
    for (const InputTarget kind :
         {InputTarget::ThisProgram, InputTarget::Shell, InputTarget::ShellHost, InputTarget::Menu, InputTarget::Nobody})
        EXPECT_FALSE(IsOperatorsWindow(kind)) << static_cast<int>(kind);
}
