#include <gtest/gtest.h>

#include "ui/command_line.h"

namespace {

struct OptionCase {
    const wchar_t* argument;
    bool quit;
};

const OptionCase kOptions[] = {
    {L"/quit", true},   {L"-quit", true},   {L"/QUIT", true},   {L"-Quit", true},     {L"/qUiT", true},
    {L"quit", false},   {L"//quit", false}, {L"/quit ", false}, {L"/quitter", false}, {L"/qui", false},
    {L"--quit", false}, {L"\\quit", false}, {L"", false},       {L"/", false},        {L"/minimized", false},
};

TEST(CommandLine, QuitOption_SlashOrDashInAnyCase_OthersIgnored)
{
    for (const OptionCase& c : kOptions)
        EXPECT_EQ(IsQuitOption(c.argument), c.quit) << c.argument;
}

struct SetupCase {
    std::vector<std::wstring> arguments;
    SetupMode mode;
};

TEST(CommandLine, SetupModes_OnlyTheExactFormsRun_AnyOtherSetupArgumentIsMalformed)
{
    const SetupCase cases[] = {
        {{}, SetupMode::None},
        {{L"/minimized"}, SetupMode::None},
        {{L"/quit"}, SetupMode::None},
        {{L"/setup-check-folder", L"C:\\P"}, SetupMode::CheckFolder},
        {{L"/setup-check-folder", L"C:\\P", L"C:\\Old"}, SetupMode::CheckFolder},
        {{L"/setup-secure-folder", L"data", L"C:\\D"}, SetupMode::SecureFolder},
        {{L"/setup-secure-folder", L"logs", L"C:\\D\\logs"}, SetupMode::SecureFolder},
        {{L"/setup-make-folder", L"D:\\VOR-TIKA"}, SetupMode::MakeFolder},
        {{L"/setup-launch", L"C:\\P\\VORTikaMonitor.exe"}, SetupMode::Launch},
        {{L"/setup-can-launch"}, SetupMode::CanLaunch},
        {{L"/setup-end-monitors", L"install", L"C:\\P\\VORTikaMonitor.exe"}, SetupMode::EndMonitors},
        {{L"/setup-end-monitors", L"remove", L"C:\\P\\VORTikaMonitor.exe"}, SetupMode::EndMonitors},
        {{L"/setup-release-monitors", L"C:\\P\\VORTikaMonitor.exe"}, SetupMode::Release},
        // Unknown modes, other spellings, wrong or empty arguments: never a monitor.
        {{L"/setup-uninstall"}, SetupMode::Malformed},
        {{L"/setup-"}, SetupMode::Malformed},
        {{L"/SETUP-LAUNCH", L"x.exe"}, SetupMode::Malformed},
        {{L"-setup-can-launch"}, SetupMode::Malformed},
        {{L"/setup-check-folder"}, SetupMode::Malformed},
        {{L"/setup-check-folder", L""}, SetupMode::Malformed},
        {{L"/setup-check-folder", L"a", L"b", L"c"}, SetupMode::Malformed},
        {{L"/setup-secure-folder", L"Data", L"C:\\D"}, SetupMode::Malformed},
        {{L"/setup-secure-folder", L"data"}, SetupMode::Malformed},
        {{L"/setup-launch"}, SetupMode::Malformed},
        {{L"/setup-make-folder"}, SetupMode::Malformed},
        {{L"/setup-make-folder", L"D:\\VOR-TIKA", L"D:\\Old"}, SetupMode::Malformed},
        {{L"/setup-can-launch", L"now"}, SetupMode::Malformed},
        {{L"/setup-end-monitors", L"C:\\P\\VORTikaMonitor.exe"}, SetupMode::Malformed},
        {{L"/setup-end-monitors", L"Install", L"C:\\P\\VORTikaMonitor.exe"}, SetupMode::Malformed},
        {{L"/setup-end-monitors", L"remove", L""}, SetupMode::Malformed},
        {{L"/setup-release-monitors"}, SetupMode::Malformed},
        {{L"/minimized", L"/setup-launch", L"x.exe"}, SetupMode::Malformed},
        {{L"/setup-launch", L"x.exe", L"/Setup-can-launch"}, SetupMode::Malformed},
    };
    for (const SetupCase& c : cases) {
        std::wstring shown;
        for (const auto& a : c.arguments)
            shown += L"[" + a + L"]";
        EXPECT_EQ(SetupModeOf(c.arguments), c.mode) << std::string(shown.begin(), shown.end());
    }
}

} // namespace
