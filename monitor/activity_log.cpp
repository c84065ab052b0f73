// The data folder and the activity log: the paths worked out once at start-up, the folders
// created (and shared with the machine's users when the monitor makes them), and one line per
// message in the day's file, with the lines a busy file refused kept until it takes them.
#include <utility>

#include "monitor/Unit1.h"
#include "storage/paths.h"

void TForm1::InitializePaths()
{
    const std::wstring base = platform_.fileSystem.CommonAppDataFolder();
    ConfigPath = JoinPath(base, L"VORTIKA");
    if (!platform_.fileSystem.DirectoryExists(ConfigPath)) {
        platform_.fileSystem.ForceDirectories(ConfigPath);
        // Created here, as a copied program does: every user of the machine shares it, as the
        // setup program's folder is shared. A link found in its place (another user's, left
        // dangling) would carry the grant to whatever it leads to.
        if (!platform_.fileSystem.IsReparsePoint(ConfigPath))
            platform_.fileSystem.GrantUsers(ConfigPath, UsersGrant{});
    }
    LogsPath = JoinPath(ConfigPath, L"logs");
    if (!platform_.fileSystem.DirectoryExists(LogsPath))
        platform_.fileSystem.ForceDirectories(LogsPath);
    ConfigFile = JoinPath(ConfigPath, L"VORTikaMonitor.ini");
}

void TForm1::AddLog(const std::wstring& message)
{
    WriteLogToFile(message);
}

// Every message opens, appends and closes the day's file. A line the file refuses is kept and
// written, with the others kept before it, by the next append that succeeds (LogBacklog).
void TForm1::WriteLogToFile(const std::wstring& message)
{
    try {
        // One clock reading per line: its time stamp and its file's date always agree, also
        // across midnight.
        const LocalDateTime now = platform_.localClock.Now();
        std::wstring path = JoinPath(LogsPath, LogFileName(now));
        const std::wstring line = FormatLogLine(now, platform_.localClock.TimeSeparator(), message);
        logBacklog_.Append(platform_.fileSystem, std::move(path), platform_.codePage.ToAnsi(line) + "\r\n");
    } catch (...) {
        // The log never fails towards its caller.
    }
}
