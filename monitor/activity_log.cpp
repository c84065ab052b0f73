// The data folder and the activity log: the paths worked out once at start-up, the folders
// created (and shared with the machine's users when the monitor makes them), and one line per
// message in the day's file, with the lines a busy file refused kept until it takes them.
#include "monitor/Unit1.h"
#include "storage/paths.h"

void TForm1::InitializePaths()
{
    const std::wstring base = platform_.fileSystem.CommonAppDataFolder();
    ConfigPath = JoinPath(base, L"VORTIKA");
    LogsPath = JoinPath(ConfigPath, L"logs");
    ConfigFile = JoinPath(ConfigPath, L"VORTikaMonitor.ini");
    FileSystem& files = platform_.fileSystem;
    // A link there (another user's junction) would receive every operator's lines and settings:
    // such a folder, or one the setup made that a user now owns, is not used at all.
    if (RefuseDataFolder(JudgeDataFolder(files.DataFolder(ConfigPath))))
        return;
    // Created here, as a copied program does: every user of the machine shares them, with the
    // rights the setup program gives. Both are made before either gets its rights, which leave
    // their creator no right to add a folder. A link found in their place (another user's, left
    // dangling) would carry the rights to whatever it leads to.
    const bool dataMissing = !files.DirectoryExists(ConfigPath);
    const bool logsMissing = !files.DirectoryExists(LogsPath);
    if (logsMissing)
        files.ForceDirectories(LogsPath);
    if (dataMissing)
        files.SecureFolder(ConfigPath, DataFolderRights());
    if (logsMissing && !files.IsReparsePoint(LogsPath))
        files.SecureFolder(LogsPath, LogsFolderRights());
}

// Nothing is created, logged, read or saved through a refused data folder, as with a deleted log
// folder; the activity log cannot say so, the event log does, once.
bool TForm1::RefuseDataFolder(DataFolderVerdict verdict)
{
    if (verdict == DataFolderVerdict::Use)
        return false;
    dataFolderRefused_ = true;
    ReportFileOnce(ConfigPath,
                   L"Dossier de données non utilisé: " + ConfigPath +
                       (verdict == DataFolderVerdict::Link ? L" est un lien"
                                                           : L" n'appartient plus à SYSTEM ni aux Administrateurs"));
    return true;
}

std::wstring TForm1::RefusalReason(SharedFileAccess why)
{
    return why == SharedFileAccess::HardLinked ? L" a plusieurs noms (lien physique)"
                                               : L" a ses propres droits d'accès";
}

void TForm1::ReportFileOnce(const std::wstring& path, const std::wstring& text)
{
    if (filesReported_.insert(path).second)
        ReportToEventLog(EventKind::Error, {text});
}

// Another user's day's file (made first with rights of its own, or a second name of a file):
// none of this user's lines go into it, they stay kept, and only the event log can tell.
void TForm1::ReportLogRefusals(const std::vector<LogBacklog::Refusal>& refusals)
{
    for (const LogBacklog::Refusal& refusal : refusals)
        ReportFileOnce(refusal.path, L"Journal non écrit: " + refusal.path + RefusalReason(refusal.why));
}

void TForm1::FlushKeptLogLines()
{
    if (!dataFolderRefused_ && logBacklog_.Kept() > 0)
        ReportLogRefusals(logBacklog_.Flush(platform_.fileSystem));
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
        if (dataFolderRefused_)
            return;
        // One clock reading per line: its time stamp and its file's date always agree, also
        // across midnight.
        const LocalDateTime now = platform_.localClock.Now();
        const std::wstring separator = platform_.localClock.TimeSeparator();
        std::wstring path = JoinPath(LogsPath, LogFileName(now));
        FileSystem& files = platform_.fileSystem;
        const auto keep = [&](const std::wstring& text) {
            ReportLogRefusals(logBacklog_.Append(
                files, path, platform_.codePage.ToAnsi(FormatLogLine(now, separator, text)) + "\r\n"));
        };
        // The file refuses a link (another user's, sending this user's lines where they choose):
        // the refusal is kept with the lines, and written once the folder is sound again.
        // Looked at when the day's file is new to the monitor and while lines are being refused: a
        // link makes the append fail, so a sound file needs no look of its own at every line. A
        // link at the data folder itself ends the log for this run.
        if (path != logLinkCheckedFor_ || logBacklog_.Kept() > 0) {
            logLinkCheckedFor_ = path;
            if (files.IsReparsePoint(ConfigPath)) {
                RefuseDataFolder(DataFolderVerdict::Link);
                return;
            }
            if (!logLinkReported_) {
                const bool folderIsLink = files.IsReparsePoint(LogsPath);
                if (folderIsLink || files.IsReparsePoint(path)) {
                    logLinkReported_ = true;
                    keep(L"Journal non écrit: " + (folderIsLink ? LogsPath : path) + L" est un lien");
                }
            }
        }
        keep(message);
    } catch (...) {
        // The log never fails towards its caller.
    }
}
