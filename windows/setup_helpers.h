// The program's own helper modes for its setup program: the decisions the setup takes through
// the program's rules, with nothing else of the monitor started.
#pragma once

#include <optional>

// When the command line asks for a helper mode, runs it and gives the exit code:
//   /setup-check-folder <folder> [<installed folder>]
//       0 the install folder is accepted; 3 not a local path; 4 a folder above it is a link or
//       another account may move it or change its rights; 5 it holds files (or cannot be listed)
//       and is not the installed version's own; 8 not on a fixed disk of this computer with access
//       lists; 9 it exists and is not the installed version's own; 10 the installed version's own,
//       no longer kept by Administrators; 11 it is a link (storage/install_folder.h).
//   /setup-make-folder <folder>
//       makes the install folder with Program Files' rights in the same call, or takes the one
//       there while it is a folder kept by Administrators; 0 done, 6 refused.
//   /setup-secure-folder data|logs <folder>
//       gives the folder to Administrators with the data folder's or logs\'s protected rights,
//       passed down to nothing it holds, and moves aside what it holds that the monitors would not
//       have made so (storage/folder_rights.h); 0 done, 6 refused (a link, no folder, a failure).
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
