#pragma once
#include <cstdint>
#include <string>

// The rights a folder shared by every user of the machine gives the Users group: modify
// (read, write, execute, delete), inherited by the files and folders created in it. Under the
// machine-wide data folder a file belongs to the user who created it: without this, another
// user could neither append to the day's log nor save the settings.
struct UsersGrant {
    std::uint32_t AccessMask = 0x001301BF; // FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE
    bool InheritedByFilesAndFolders = true;
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
    // Adds the grant to the folder's own rights, keeping those it inherits; reports nothing.
    virtual void GrantUsers(const std::wstring& path, const UsersGrant& grant) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Opens the file at its end, creating it when missing, in one open that shares reading and
    // writing, and writes bytes; false on any failure. Never truncates.
    virtual bool AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
};
