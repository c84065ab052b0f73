#pragma once
#include <string>

// Folders and files as the data folder and the activity log need them.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // SHGetFolderPathW(CSIDL_COMMON_APPDATA), without a trailing separator; empty on failure.
    virtual std::wstring CommonAppDataFolder() = 0;
    virtual bool DirectoryExists(const std::wstring& path) = 0;
    // Creates the folder and its missing parents; reports nothing.
    virtual void ForceDirectories(const std::wstring& path) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Opens the file at its end, creating it when missing, in one open (read sharing only), and
    // writes bytes; false on any failure. Never truncates.
    virtual bool AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
};
