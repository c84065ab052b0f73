// The file system seam: folders and files as the data folder and the activity log need them.
#pragma once
#include <cstdint>
#include <string>

#include "storage/folder_rights.h"
#include "storage/shared_files.h"

// What opening a shared file found: used (written, or judged sound), missing, failed (busy, a link,
// refused), or refused for its own access list or its other names (JudgeSharedFile).
enum class SharedFileAccess { Done, Missing, Failed, OwnRights, HardLinked };

constexpr SharedFileAccess AccessOf(SharedFileVerdict verdict)
{
    switch (verdict) {
    case SharedFileVerdict::Use:
        return SharedFileAccess::Done;
    case SharedFileVerdict::OwnRights:
        return SharedFileAccess::OwnRights;
    case SharedFileVerdict::HardLinked:
        return SharedFileAccess::HardLinked;
    }
    return SharedFileAccess::Failed;
}

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // SHGetFolderPathW(CSIDL_COMMON_APPDATA), without a trailing separator; empty on failure.
    virtual std::wstring CommonAppDataFolder() = 0;
    virtual bool DirectoryExists(const std::wstring& path) = 0;
    // Creates the folder and its missing parents; reports nothing.
    virtual void ForceDirectories(const std::wstring& path) = 0;
    // The path itself (not what it leads to) is a symbolic link, a junction or another reparse point.
    virtual bool IsReparsePoint(const std::wstring& path) = 0;
    // Replaces the folder's access list by rights, protected from what it would inherit; refuses a
    // reparse point; reports nothing.
    virtual void SecureFolder(const std::wstring& path, const FolderRights& rights) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Opens the file at its end, creating it when missing, in one open that shares reading and
    // writing, and writes bytes: Done, Failed on any failure and when the file or its folder is a
    // reparse point, or the file's refusal when JudgeSharedFile refuses what that handle shows
    // (nothing written). Never truncates.
    virtual SharedFileAccess AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
    // Opens the file itself, never what a link there leads to (creating it when create and it is
    // missing), and judges it through that handle: Done when it may be read and written.
    virtual SharedFileAccess CheckSharedFile(const std::wstring& path, bool create) = 0;
    // What Windows says of the data folder (nothing of a folder that does not exist).
    virtual DataFolderFacts DataFolder(const std::wstring& path) = 0;
};
