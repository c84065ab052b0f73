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
