#include <gtest/gtest.h>

#include <cstdint>

#include "storage/folder_rights.h"
#include "storage/install_folder.h"

namespace {

constexpr std::uint32_t kAddFile = 0x2;
constexpr std::uint32_t kAppend = 0x4;
constexpr std::uint32_t kWriteData = 0x2;
constexpr std::uint32_t kReadData = 0x1;
constexpr std::uint8_t kInheritOnly = 0x8;
constexpr std::uint8_t kToFiles = 0x1;

// What a grantee gets on the folder itself, and on the files it holds.
std::uint32_t OnFolder(const FolderRights& rights, Grantee who)
{
    std::uint32_t mask = 0;
    for (const FolderEntry& e : rights)
        if (e.who == who && (e.inherit & kInheritOnly) == 0)
            mask |= e.mask;
    return mask;
}

std::uint32_t OnFiles(const FolderRights& rights, Grantee who)
{
    std::uint32_t mask = 0;
    for (const FolderEntry& e : rights)
        if (e.who == who && (e.inherit & kToFiles) != 0)
            mask |= e.mask;
    return mask;
}

// No user, and no owner that is a user, can delete, rename or re-permission the folders or their
// files: none can put a link in their place.
TEST(FolderRights, NoUserOrOwnerMayTakeOverTheFoldersOrTheirFiles)
{
    for (const FolderRights& rights : {DataFolderRights(), LogsFolderRights()})
        for (const Grantee who : {Grantee::Users, Grantee::OwnerRights}) {
            EXPECT_EQ(OnFolder(rights, who) & kFolderTakeoverRights, 0u);
            EXPECT_EQ(OnFiles(rights, who) & kFolderTakeoverRights, 0u);
        }
}

TEST(FolderRights, UsersCreateAndWriteTheSettings_CreateAppendAndReadTheLogs_NeverWriteOverALog)
{
    const FolderRights data = DataFolderRights();
    EXPECT_EQ(OnFolder(data, Grantee::Users) & kAddFile, kAddFile);
    EXPECT_EQ(OnFiles(data, Grantee::Users) & (kReadData | kWriteData), kReadData | kWriteData);

    const FolderRights logs = LogsFolderRights();
    EXPECT_EQ(OnFolder(logs, Grantee::Users) & kAddFile, kAddFile);
    EXPECT_EQ(OnFiles(logs, Grantee::Users) & (kReadData | kAppend), kReadData | kAppend);
    EXPECT_EQ(OnFiles(logs, Grantee::Users) & kWriteData, 0u) << "a user may not rewrite another's lines";
    EXPECT_EQ(OnFiles(logs, Grantee::OwnerRights), OnFiles(logs, Grantee::Users)) << "the day's first writer too";
}

TEST(FolderRights, SystemAndAdministratorsKeepFullControlBelow)
{
    for (const FolderRights& rights : {DataFolderRights(), LogsFolderRights()})
        for (const Grantee who : {Grantee::System, Grantee::Administrators}) {
            EXPECT_EQ(OnFolder(rights, who), 0x001F01FFu);
            EXPECT_EQ(OnFiles(rights, who), 0x001F01FFu);
        }
}

} // namespace
