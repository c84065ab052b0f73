// Which install folders the setup accepts: none that another account could move away or fill.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Who an owner or an access entry names, as far as the rule cares.
enum class Trustee { System, Administrators, TrustedInstaller, Other };

// One entry of a folder's access list that applies to the folder itself (inherit-only entries
// are left out by whoever reads the list): an allow entry's trustee and access mask.
struct AllowEntry {
    Trustee who;
    std::uint32_t mask;
};

// What the setup reads of one folder above the install folder.
struct FolderFacts {
    bool isRoot = false; // a drive's root: cannot itself be renamed
    bool isLink = false; // a reparse point: the folder really lives elsewhere
    bool hasDacl = true; // no access list: everyone may do anything
    Trustee owner = Trustee::Other;
    std::vector<AllowEntry> allows;
};

// DELETE, WRITE_DAC, WRITE_OWNER, FILE_DELETE_CHILD and GENERIC_ALL: each lets its holder rename a
// folder away (DELETE on it, delete-child on its parent) or give themselves that right.
inline constexpr std::uint32_t kFolderTakeoverRights = 0x00010000 | 0x00040000 | 0x00080000 | 0x00000040 | 0x10000000;

// No account but SYSTEM, Administrators and TrustedInstaller owns the folder or may take it over.
bool IsFolderSafeAbove(const FolderFacts& folder);

// No account but SYSTEM, Administrators and TrustedInstaller owns the folder or may write to it or
// to what it will hold: the program's own list (Users read and execute) or a narrower one. Entries
// that only pass down count too.
bool IsInstallFolderOwn(const FolderFacts& folder);

// The bus of the disk a drive letter lives on (STORAGE_BUS_TYPE, checked in windows/).
inline constexpr std::uint8_t kBus1394 = 0x04;
inline constexpr std::uint8_t kBusUsb = 0x07;
inline constexpr std::uint8_t kBusSd = 0x0C;
inline constexpr std::uint8_t kBusMmc = 0x0D;
inline constexpr std::uint8_t kBusFileBackedVirtual = 0x0F; // a mounted VHD, VHDX or ISO

// What the setup reads of the install folder's drive.
struct DriveFacts {
    bool fixed = true;          // GetDriveTypeW: DRIVE_FIXED
    bool persistentAcls = true; // the volume keeps access lists (NTFS, ReFS)
    bool busRead = true;        // the disk answered which bus it is on
    std::uint8_t bus = 0x0B;    // SATA
};

// A drive that stays in this computer and keeps access lists: no removable disk, no disk a user
// can plug in (USB, FireWire, a card) or mount from a file (VHD, ISO), no FAT volume, and none
// whose bus cannot be read.
bool IsInstallDriveAccepted(const DriveFacts& drive);

enum class InstallFolderVerdict {
    Accepted,
    NotLocal,      // not "X:\...": a share or a relative path, whose rights the setup cannot judge
    ParentUnsafe,  // a folder above is a link, or another account may move it or change its rights
    HoldsFiles,    // an existing folder with files the setup did not put there
    DriveRefused,  // outside Program Files: not a fixed disk of this computer with access lists
    Foreign,       // an existing folder, even empty, that is not the installed version's own
    RightsChanged, // the installed version's own folder, no longer owned or kept by Administrators
    IsLink,        // the folder itself is a link
};

// The folder the setup installs into, from /D= or the directory page.
struct InstallFolderFacts {
    std::wstring path;                   // full path, as GetFullPathNameW gives it
    std::vector<std::wstring> safeBases; // Program Files: a folder inside is accepted as it is
    std::wstring installedFolder;        // the installed version's own folder (InstallLocation), if any
    bool existsWithEntries = false;      // also when it exists and cannot be listed
    std::vector<FolderFacts> above;      // from the drive's root down to the folder's parent
    bool exists = false;
    FolderFacts self; // the folder's own facts, when it exists (every entry, inherit-only too)
    DriveFacts drive;
};

InstallFolderVerdict JudgeInstallFolder(const InstallFolderFacts& facts);
// True when path lies inside base (not base itself), compared without case.
bool IsInside(const std::wstring& path, const std::wstring& base);
// "X:\" and the folders down to path's parent; empty when path is not "X:\<something>".
std::vector<std::wstring> FoldersAbove(const std::wstring& path);
