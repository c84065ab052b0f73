// The data folder's access lists (see folder_rights.h).
#include "storage/folder_rights.h"

namespace {

constexpr std::uint32_t kFullControl = 0x001F01FF;
// List, traverse, read, and create files: FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_ADD_FILE.
constexpr std::uint32_t kListAndAddFile = 0x001200AB;
// Read, write, append, execute, without DELETE: FILE_GENERIC_READ | WRITE | EXECUTE.
constexpr std::uint32_t kReadWriteFile = 0x001201BF;
// Read and append only: FILE_GENERIC_READ | FILE_APPEND_DATA.
constexpr std::uint32_t kReadAppendFile = 0x0012008D;
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
