// The file system seam: folders and files as the data folder and the activity log need them.
#pragma once
#include <cstdint>
#include <string>

#include "storage/folder_rights.h"

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
    // writing, and writes bytes; false on any failure, and when the file or its folder is a
    // reparse point. Never truncates.
    virtual bool AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
};
