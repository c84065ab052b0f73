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

// What the setup finds in the data folder and logs\: what the monitors make there stays; anything
// that lets a user write, delete or re-permission beyond the folder's own grant is moved aside.
TEST(FolderRights, Child_KeptOnlyWhenNoMoreThanWhatTheProgramGives)
{
    constexpr std::uint32_t kReadExecute = 0x001200A9;
    constexpr std::uint32_t kWriteAttributes = 0x100;
    constexpr std::uint32_t kDelete = 0x00010000;
    constexpr std::uint32_t kWriteDac = 0x00040000;
    const ChildFacts monitorsLog{.ownerCapped = true, .othersMask = kReadAppendFile};
    const ChildFacts monitorsSettings{.ownerCapped = true, .othersMask = kReadWriteFile};
    const auto with = [](ChildFacts c, auto change) {
        change(c);
        return c;
    };
    const struct {
        const char* what;
        ChildFacts child;
        FolderRights rights;
        bool kept;
    } cases[] = {
        {"a monitor's log", monitorsLog, LogsFolderRights(), true},
        {"a monitor's settings", monitorsSettings, DataFolderRights(), true},
        {"an administrator's file, others read",
         {.ownerTrusted = true, .othersMask = kReadExecute},
         LogsFolderRights(),
         true},
        {"a log users may rewrite", monitorsSettings, LogsFolderRights(), false},
        {"users may delete it", with(monitorsLog, [&](ChildFacts& c) { c.othersMask |= kDelete; }), LogsFolderRights(),
         false},
        {"users may re-permission it", with(monitorsLog, [&](ChildFacts& c) { c.othersMask |= kWriteDac; }),
         LogsFolderRights(), false},
        {"users may change its attributes", with(monitorsLog, [&](ChildFacts& c) { c.othersMask |= kWriteAttributes; }),
         LogsFolderRights(), false},
        {"settings of an earlier version, attributes too",
         with(monitorsSettings, [&](ChildFacts& c) { c.othersMask |= kWriteAttributes; }), DataFolderRights(), true},
        {"its owner is not capped", with(monitorsLog, [](ChildFacts& c) { c.ownerCapped = false; }), LogsFolderRights(),
         false},
        {"a hard link", with(monitorsLog, [](ChildFacts& c) { c.links = 2; }), LogsFolderRights(), false},
        {"a link", with(monitorsLog, [](ChildFacts& c) { c.isLink = true; }), LogsFolderRights(), false},
        {"a folder", with(monitorsLog, [](ChildFacts& c) { c.isFolder = true; }), LogsFolderRights(), false},
        {"no access list", with(monitorsLog, [](ChildFacts& c) { c.hasDacl = false; }), LogsFolderRights(), false},
        {"an entry not read", with(monitorsLog, [](ChildFacts& c) { c.unknownEntry = true; }), LogsFolderRights(),
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeepsChild(c.child, c.rights), c.kept) << c.what;
}

} // namespace
