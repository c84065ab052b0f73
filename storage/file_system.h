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
    // Opens an existing file at its end (read sharing only) and writes bytes; false on any failure.
    virtual bool AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
    // Creates (or empties) a file (read sharing only) and writes bytes; false on any failure.
    virtual bool CreateAndWrite(const std::wstring& path, const std::string& bytes) = 0;
};
