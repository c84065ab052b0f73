#pragma once
#include <cstdint>
#include <string>

// What the Users group may do in the data folder that every user of the machine shares. Under the
// machine-wide data folder a file belongs to the user who created it: without these rights another
// user could neither append to the day's log nor save the settings. On the folder itself: list,
// traverse, read, create files and folders (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_ADD_FILE
// | FILE_ADD_SUBDIRECTORY), and not DELETE, WRITE_DAC or WRITE_OWNER, so that no user can delete the
// folder and put a link in its place. On what it holds, inherit-only: modify (read, write, execute,
// delete), the icacls (OI)(CI)(IO)M the setup program gives.
struct UsersGrant {
    std::uint32_t OnFolder = 0x001200AF;
    std::uint32_t OnContents = 0x001301BF;
    bool operator==(const UsersGrant&) const = default;
};

// Folders and files as the data folder and the activity log need them.
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
    // Adds the grant to the folder's own rights, keeping those it inherits; refuses a reparse point;
    // reports nothing.
    virtual void GrantUsers(const std::wstring& path, const UsersGrant& grant) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Opens the file at its end, creating it when missing, in one open that shares reading and
    // writing, and writes bytes; false on any failure. Never truncates.
    virtual bool AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
};
