// Fakes of the storage and system seams: code page 1252, the local clock on the virtual clock,
// an in-memory file system.
#pragma once
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "storage/file_system.h"
#include "storage/local_clock.h"
#include "system/ansi_code_page.h"
#include "tests/fakes/fake_toolkit.h"

// Code page 1252, as Windows converts it.
class Cp1252CodePage : public AnsiCodePage {
public:
    std::wstring ToWide(const std::string& bytes) override;
    std::string ToAnsi(const std::wstring& text) override;
};

// Local wall clock that moves with the virtual tick count from a start moment.
class FakeLocalClock : public LocalClock {
public:
    explicit FakeLocalClock(FakeClock& clock) : clock_(clock), startTick_(clock.Now()) {}
    LocalDateTime Now() override;
    std::wstring TimeSeparator() override { return separator; }
    // The local time at the current tick.
    void SetNow(const LocalDateTime& when);
    std::wstring separator = L":";
    std::uint64_t msPerRead = 0; // virtual time that passes after each reading

private:
    FakeClock& clock_;
    std::uint64_t startTick_;
    LocalDateTime start_{2024, 3, 15, 14, 5, 9};
};

// An in-memory file system. Paths compare exactly.
class FakeFileSystem : public FileSystem {
public:
    std::wstring CommonAppDataFolder() override { return commonAppData; }
    bool DirectoryExists(const std::wstring& path) override { return dirs.count(path) > 0; }
    void ForceDirectories(const std::wstring& path) override;
    bool IsReparsePoint(const std::wstring& path) override { return reparsePoints.count(path) > 0; }
    void SecureFolder(const std::wstring& path, const FolderRights& rights) override
    {
        secured.emplace_back(path, rights);
    }
    bool FileExists(const std::wstring& path) override { return files.count(path) > 0; }
    SharedFileAccess AppendToFile(const std::wstring& path, const std::string& bytes) override;
    SharedFileAccess CheckSharedFile(const std::wstring& path, bool create) override;
    DataFolderFacts DataFolder(const std::wstring& path) override;
    // Replaces the file's bytes, as the profile functions rewrite the settings file.
    bool CreateAndWrite(const std::wstring& path, const std::string& bytes);

    bool ParentExists(const std::wstring& path) const;
    void RemoveDirectory(const std::wstring& path); // with everything under it

    std::wstring commonAppData = L"C:\\ProgramData";
    std::set<std::wstring> dirs{L"C:", L"C:\\ProgramData"};
    std::map<std::wstring, std::string> files;
    std::set<std::wstring> readOnly;
    std::set<std::wstring> reparsePoints; // links, dangling unless their path is also in dirs
    // What an open of the file shows, judged as Windows' binding does; a file the monitor creates
    // has the defaults: its folder's inherited list, one name.
    std::map<std::wstring, SharedFileFacts> sharedFacts;
    DataFolderFacts dataFolderFacts; // of an existing data folder; its link is reparsePoints's
    bool refuseFolderCreation = false;
    std::vector<std::pair<std::wstring, FolderRights>> secured;
    int writes = 0;
};
