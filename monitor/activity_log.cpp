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

// Every message opens, appends and closes the day's file; any failure loses
// that one message silently.
void TForm1::WriteLogToFile(const std::wstring& message)
{
    try {
        const LocalDateTime forName = platform_.localClock.Now();
        const std::wstring path = JoinPath(LogsPath, LogFileName(forName));
        const LocalDateTime forLine = platform_.localClock.Now();
        const std::wstring line = FormatLogLine(forLine, platform_.localClock.TimeSeparator(), message);
        const std::string bytes = platform_.codePage.ToAnsi(line) + "\r\n";
        platform_.fileSystem.AppendToFile(path, bytes);
    } catch (...) {
        // The log never fails towards its caller.
    }
}
