// The data folder's access lists (see folder_rights.h).
#include "storage/folder_rights.h"

namespace {

constexpr std::uint8_t kThisAndBelow = 0x1 | 0x2;
constexpr std::uint8_t kFilesOnly = 0x1 | 0x8;

FolderRights Shared(std::uint32_t onFiles)
{
    return {
        {Grantee::System, kFullControl, kThisAndBelow}, {Grantee::Administrators, kFullControl, kThisAndBelow},
        {Grantee::Users, kListAndAddFile, 0},           {Grantee::Users, onFiles, kFilesOnly},
        {Grantee::OwnerRights, kListAndAddFile, 0},     {Grantee::OwnerRights, onFiles, kFilesOnly},
    };
}

} // namespace

FolderRights DataFolderRights()
{
    return Shared(kReadWriteFile);
}

FolderRights LogsFolderRights()
{
    return Shared(kReadAppendFile);
}

bool KeepsChild(const ChildFacts& child, const FolderRights& folder)
{
    // FILE_WRITE_DATA, FILE_APPEND_DATA, FILE_WRITE_EA, FILE_DELETE_CHILD, FILE_WRITE_ATTRIBUTES,
    // DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE: what changes a file or its rights.
    constexpr std::uint32_t kChanges =
        0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;
    if (child.isLink || child.isFolder || child.links != 1 || !child.hasDacl || child.unknownEntry)
        return false;
    if (!child.ownerTrusted && !child.ownerCapped)
        return false; // its owner may give themselves any right
    std::uint32_t given = 0;
    for (const FolderEntry& e : folder)
        if ((e.who == Grantee::Users || e.who == Grantee::OwnerRights) && (e.inherit & 0x1) != 0)
            given |= e.mask;
    // Where users write a file's content, its attributes add only a read-only flag, which the monitor
    // clears before a save: the settings file of earlier versions, which gave them, is kept.
    constexpr std::uint32_t kWriteData = 0x2;
    constexpr std::uint32_t kWriteAttributes = 0x100;
    if ((given & kWriteData) != 0)
        given |= kWriteAttributes;
    return (child.othersMask & kChanges & ~given) == 0;
}
