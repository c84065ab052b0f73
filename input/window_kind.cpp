// Whose the window in front is (see window_kind.h).
#include "input/window_kind.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <string_view>

namespace {

bool SameName(std::wstring_view a, std::wstring_view b)
{
    return std::ranges::equal(a, b, [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

template <std::size_t N> bool OneOf(const std::array<std::wstring_view, N>& names, std::wstring_view name)
{
    return std::ranges::any_of(names, [&](std::wstring_view listed) { return SameName(listed, name); });
}

// The taskbar, its overflow and the desktop: Enter opens whatever is selected there.
constexpr std::array<std::wstring_view, 6> kTaskbarAndDesktopClasses = {L"Shell_TrayWnd",
                                                                        L"Shell_SecondaryTrayWnd",
                                                                        L"NotifyIconOverflowWindow",
                                                                        L"TopLevelWindowForOverflowXamlIsland",
                                                                        L"Progman",
                                                                        L"WorkerW"};

// Task View and Alt+Tab, whichever process hosts them.
constexpr std::array<std::wstring_view, 5> kSwitcherClasses = {L"MultitaskingViewFrame",
                                                               L"XamlExplorerHostIslandWindow", L"TaskSwitcherWnd",
                                                               L"TaskSwitcherOverlayWnd", L"ForegroundStaging"};

// Start, Search and the shell's flyouts are windows (Windows.UI.Core.CoreWindow) of these.
constexpr std::array<std::wstring_view, 5> kShellHostProcesses = {
    L"StartMenuExperienceHost.exe", L"SearchHost.exe", L"SearchApp.exe", L"SearchUI.exe", L"ShellExperienceHost.exe"};

// Explorer's folder windows take keys as any application does; its other windows (Run, the
// desktop's dialogs, the switchers) turn them into commands.
constexpr std::array<std::wstring_view, 2> kFolderWindowClasses = {L"CabinetWClass", L"ExploreWClass"};

constexpr std::wstring_view kMenuClass = L"#32768";

} // namespace

InputTarget ClassifyWindow(const WindowFacts& window, std::optional<std::uint32_t> ownIntegrity)
{
    if (window.ThisProcess)
        return InputTarget::ThisProgram;
    if (window.DesktopWindow || OneOf(kTaskbarAndDesktopClasses, window.RootClass))
        return InputTarget::Shell;
    if (OneOf(kSwitcherClasses, window.RootClass) || OneOf(kShellHostProcesses, window.ProcessName) ||
        (SameName(window.ProcessName, L"explorer.exe") && !OneOf(kFolderWindowClasses, window.RootClass)))
        return InputTarget::ShellHost;
    // Windows drops the keys whatever the window's state: waiting would not help.
    if (!window.Integrity || (ownIntegrity && *window.Integrity > *ownIntegrity))
        return InputTarget::HigherRights;
    if (window.InMenu || SameName(window.RootClass, kMenuClass))
        return InputTarget::Menu;
    return InputTarget::OtherApplication;
}

bool IsOperatorsWindow(InputTarget kind)
{
    return kind == InputTarget::OtherApplication || kind == InputTarget::HigherRights;
}
