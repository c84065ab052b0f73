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

enum class InstallFolderVerdict {
    Accepted,
    NotLocal,     // not "X:\...": a share or a relative path, whose rights the setup cannot judge
    ParentUnsafe, // a folder above is a link, or another account may move it or change its rights
    HoldsFiles,   // an existing folder with files the setup did not put there
};

// The folder the setup installs into, from /D= or the directory page.
struct InstallFolderFacts {
    std::wstring path;                   // full path, as GetFullPathNameW gives it
    std::vector<std::wstring> safeBases; // Program Files: a folder inside is accepted as it is
    std::wstring installedFolder;        // the installed version's own folder (InstallLocation), if any
    bool existsWithEntries = false;
    std::vector<FolderFacts> above; // from the drive's root down to the folder's parent
};

InstallFolderVerdict JudgeInstallFolder(const InstallFolderFacts& facts);
// True when path lies inside base (not base itself), compared without case.
bool IsInside(const std::wstring& path, const std::wstring& base);
// "X:\" and the folders down to path's parent; empty when path is not "X:\<something>".
std::vector<std::wstring> FoldersAbove(const std::wstring& path);
