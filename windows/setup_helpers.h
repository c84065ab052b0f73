// The program's own helper modes for its setup program: the decisions the setup takes through
// the program's rules, with nothing else of the monitor started.
#pragma once

#include <optional>

// When the command line asks for a helper mode, runs it and gives the exit code:
//   /setup-check-folder <folder> [<installed folder>]
//       0 the install folder is accepted; 3 not a local path; 4 a folder above it is a link or
//       another account may move it or change its rights; 5 it holds files and is not the
//       installed version's own (storage/install_folder.h).
//   /setup-secure-folder data|logs <folder>
//       gives the folder to Administrators with the data folder's or logs\'s protected rights
//       (storage/folder_rights.h); 0 done, 6 refused (a link, no folder, a failure).
//   /setup-launch <program>
//       starts the program as the desktop's user through the shell's IShellDispatch2, the
//       documented way from an elevated process; 0 started, 7 no shell to take it (SYSTEM,
//       a session without a desktop) or a failure: nothing started.
//   /setup-can-launch
//       the same answer without starting anything: whether "Lancer ... maintenant" can be offered.
//   /setup-end-monitors install|remove <program>
//       the Windows Installer package's request to the running monitors, before it writes or
//       removes the program file; always 0 (windows/setup_monitors.h).
//   /setup-release-monitors <program>
//       the monitors it ended start the new program file; always 0.
//   Any other "/setup-" argument, or one of these with arguments it does not take: 2, and
//   nothing started (ui/command_line.h).
std::optional<int> RunSetupHelper();
