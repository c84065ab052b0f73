// The Win32 bindings of the storage seams: the machine-wide data folder, folders, the rights of
// the shared data folder, the appends of the log, the local clock and locale, and the profile file.
#pragma once
#include <cstddef>
#include <string>

#include "storage/file_system.h"
#include "storage/local_clock.h"
#include "storage/profile_store.h"

class Win32FileSystem : public FileSystem {
public:
    std::wstring CommonAppDataFolder() override;
    bool DirectoryExists(const std::wstring& path) override;
    void ForceDirectories(const std::wstring& path) override;
    bool IsReparsePoint(const std::wstring& path) override;
    void SecureFolder(const std::wstring& path, const FolderRights& rights) override;
    // The same, and the folder given to Administrators: what the setup's helper does, elevated.
    bool SecureFolderAsAdministrators(const std::wstring& path, const FolderRights& rights);
    bool FileExists(const std::wstring& path) override;
    SharedFileAccess AppendToFile(const std::wstring& path, const std::string& bytes) override;
    SharedFileAccess CheckSharedFile(const std::wstring& path, bool create) override;
    DataFolderFacts DataFolder(const std::wstring& path) override;

private:
    // The last file whose access list and link count were found sound. No user may re-permission,
    // rename, delete or link a file there: it stays sound, and its next lines need no new look.
    std::wstring soundFile_;
};

class Win32LocalClock : public LocalClock {
public:
    LocalDateTime Now() override;
    std::wstring TimeSeparator() override;
};

class Win32ProfileStore : public ProfileStore {
public:
    std::wstring GetString(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue,
                           std::size_t bufferChars, const std::wstring& file) override;
    bool WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                     const std::wstring& file) override;
    void Flush(const std::wstring& file) override;

private:
    std::uint32_t copies_ = 0;
};
