// The program's command line: its one option, and the setup program's helper modes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The program's one option: "/quit" or "-quit", in any case, ends the running
// monitor of the session. Any other argument is ignored.
bool IsQuitOption(std::wstring_view argument);

// The helper modes the setup program runs (windows/setup_helpers.h).
enum class SetupMode {
    None,         // no "/setup-" argument: the monitor (or /quit)
    CheckFolder,  // /setup-check-folder <folder> [<installed folder>]
    SecureFolder, // /setup-secure-folder data|logs <folder>
    MakeFolder,   // /setup-make-folder <folder>
    Launch,       // /setup-launch <program>
    CanLaunch,    // /setup-can-launch
    EndMonitors,  // /setup-end-monitors install|remove <program>
    Release,      // /setup-release-monitors <program>
    Malformed     // a "/setup-" or "-setup-" argument anywhere, in any case, that is not one of the
                  // above with its arguments: ends with an error and starts nothing, elevated as
                  // the setup runs it
};

// The arguments after the program's name.
SetupMode SetupModeOf(const std::vector<std::wstring>& arguments);
