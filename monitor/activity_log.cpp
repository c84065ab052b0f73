// The data folder and the activity log: the paths worked out once at start-up, the folders
// created (and shared with the machine's users when the monitor makes them), and one line per
// message in the day's file, with the lines a busy file refused kept until it takes them.
#include "monitor/Unit1.h"
#include "storage/paths.h"

void TForm1::InitializePaths()
{
    const std::wstring base = platform_.fileSystem.CommonAppDataFolder();
    ConfigPath = JoinPath(base, L"VORTIKA");
    FileSystem& files = platform_.fileSystem;
    // Created here, as a copied program does: every user of the machine shares them, with the
    // rights the setup program gives. Both are made before either gets its rights, which leave
    // their creator no right to add a folder. A link found in their place (another user's, left
    // dangling) would carry the rights to whatever it leads to.
    const bool dataIsLink = files.IsReparsePoint(ConfigPath);
    const bool dataMissing = !files.DirectoryExists(ConfigPath);
    LogsPath = JoinPath(ConfigPath, L"logs");
    const bool logsMissing = !files.DirectoryExists(LogsPath);
    if (logsMissing)
        files.ForceDirectories(LogsPath);
    if (dataMissing && !dataIsLink)
        files.SecureFolder(ConfigPath, DataFolderRights());
    if (logsMissing && !dataIsLink && !files.IsReparsePoint(LogsPath))
        files.SecureFolder(LogsPath, LogsFolderRights());
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
        const std::wstring separator = platform_.localClock.TimeSeparator();
        std::wstring path = JoinPath(LogsPath, LogFileName(now));
        FileSystem& files = platform_.fileSystem;
        const auto keep = [&](const std::wstring& text) {
            logBacklog_.Append(files, path, platform_.codePage.ToAnsi(FormatLogLine(now, separator, text)) + "\r\n");
        };
        // The file refuses a link (another user's, sending this user's lines where they choose):
        // the refusal is kept with the lines, and written once the folder is sound again.
        // Looked at when the day's file is new to the monitor and while lines are being refused: a
        // link makes the append fail, so a sound file needs no look of its own at every line.
        if (!logLinkReported_ && (path != logLinkCheckedFor_ || logBacklog_.Kept() > 0)) {
            logLinkCheckedFor_ = path;
            const bool folderIsLink = files.IsReparsePoint(LogsPath);
            if (folderIsLink || files.IsReparsePoint(path)) {
                logLinkReported_ = true;
                keep(L"Journal non écrit: " + (folderIsLink ? LogsPath : path) + L" est un lien");
            }
        }
        keep(message);
    } catch (...) {
        // The log never fails towards its caller.
    }
}
