// The access lists of the shared data folder and of its logs\ folder, as the setup and a monitor
// that creates them set them.
#pragma once
#include <cstdint>
#include <vector>

enum class Grantee { System, Administrators, Users, OwnerRights };

// The access masks the entries grant, as Windows numbers them (checked in windows/storage.cpp).
inline constexpr std::uint32_t kFullControl = 0x001F01FF; // FILE_ALL_ACCESS
// List, traverse, read, and create files: FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_ADD_FILE.
inline constexpr std::uint32_t kListAndAddFile = 0x001200AB;
// Read, write, append, execute, without DELETE: FILE_GENERIC_READ | WRITE | EXECUTE, less
// FILE_WRITE_ATTRIBUTES: a read-only flag one user set would make every monitor's save fail.
inline constexpr std::uint32_t kReadWriteFile = 0x001200BF;
// Read and append only: FILE_GENERIC_READ | FILE_APPEND_DATA.
inline constexpr std::uint32_t kReadAppendFile = 0x0012008D;

// One allow entry; inherit holds the ACE flags (object 0x1, container 0x2, inherit-only 0x8).
struct FolderEntry {
    Grantee who;
    std::uint32_t mask;
    std::uint8_t inherit;
    bool operator==(const FolderEntry&) const = default;
};

// A protected list (nothing inherited from above), given whole.
using FolderRights = std::vector<FolderEntry>;

// Every user of the machine shares the data folder: each may read and write the settings file
// and create it, but no user may delete, rename or re-permission the folder or its files, so that
// none can put a link in their place. OWNER RIGHTS caps whoever created a file (or, for a copied
// monitor, the folder): an owner could otherwise always give themselves those rights.
FolderRights DataFolderRights();
// logs\: every user may create the day's file, append to every log file and read them; none may
// write over, delete or re-permission a file or the folder.
FolderRights LogsFolderRights();

// What the setup reads of one entry inside the data folder or logs\ before it sets the folder's
// own rights (which it does not pass down to what the folder holds).
struct ChildFacts {
    bool isLink = false;
    bool isFolder = false;
    std::uint32_t links = 1;      // names of the same file: a hard link shares its target's rights
    bool ownerTrusted = false;    // owned by SYSTEM or Administrators
    bool hasDacl = true;          // no access list: everyone may do anything
    bool ownerCapped = false;     // an OWNER RIGHTS entry replaces what its owner may do
    bool unknownEntry = false;    // an entry the setup does not read (an object or callback entry)
    std::uint32_t othersMask = 0; // what the allow entries give anyone but SYSTEM and Administrators
};

// Whether an entry is what the program's monitors create there, or less: one plain file, with no
// account but SYSTEM and Administrators able to write, delete or re-permission it beyond what the
// folder's list gives Users on files (its owner capped by OWNER RIGHTS or trusted). Another entry
// is moved aside, never re-permissioned: that would rewrite the rights of a file a hard link or a
// link points to.
bool KeepsChild(const ChildFacts& child, const FolderRights& folder);
