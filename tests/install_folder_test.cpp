#include <gtest/gtest.h>

#include "storage/install_folder.h"

namespace {

constexpr std::uint32_t kModify = 0x001301BF; // icacls M: read, write, execute, DELETE
constexpr std::uint32_t kReadExecute = 0x001200A9;
constexpr std::uint32_t kAddSubfolder = 0x00000004;
constexpr std::uint32_t kDeleteChild = 0x00000040;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kGenericAll = 0x10000000;

FolderFacts Admin(std::vector<AllowEntry> others = {})
{
    FolderFacts folder{.owner = Trustee::Administrators,
                       .allows = {{Trustee::System, 0x001F01FF}, {Trustee::Administrators, 0x001F01FF}}};
    folder.allows.insert(folder.allows.end(), others.begin(), others.end());
    return folder;
}

FolderFacts Root(std::vector<AllowEntry> others = {})
{
    FolderFacts root = Admin(std::move(others));
    root.isRoot = true;
    root.owner = Trustee::TrustedInstaller;
    return root;
}

TEST(InstallFolder, FoldersAboveRunFromTheRootToTheParent)
{
    EXPECT_EQ(FoldersAbove(L"D:\\Outils\\VOR-TIKA"), (std::vector<std::wstring>{L"D:\\", L"D:\\Outils"}));
    EXPECT_EQ(FoldersAbove(L"D:\\VOR-TIKA\\"), (std::vector<std::wstring>{L"D:\\"}));
    EXPECT_TRUE(FoldersAbove(L"\\\\serveur\\partage\\VOR-TIKA").empty());
    EXPECT_TRUE(FoldersAbove(L"D:\\").empty());
    EXPECT_TRUE(FoldersAbove(L"Outils\\VOR-TIKA").empty());
}

// Which folders above the install folder may stay as they are: the rights that let another
// account rename one away, and the drive's root, which cannot be renamed.
TEST(InstallFolder, FolderAboveIsSafeOnlyWhenNoOtherAccountCanTakeItOver)
{
    const struct {
        const char* what;
        FolderFacts folder;
        bool safe;
    } cases[] = {
        {"admin folder, users read", Admin({{Trustee::Other, kReadExecute}}), true},
        {"users may add subfolders", Admin({{Trustee::Other, kReadExecute | kAddSubfolder}}), true},
        {"users modify (DELETE)", Admin({{Trustee::Other, kModify}}), false},
        {"users delete-child", Admin({{Trustee::Other, kDeleteChild}}), false},
        {"users write-DAC", Admin({{Trustee::Other, kWriteDac}}), false},
        {"users write-owner", Admin({{Trustee::Other, kWriteOwner}}), false},
        {"users generic all", Admin({{Trustee::Other, kGenericAll}}), false},
        {"root, users modify", Root({{Trustee::Other, kModify}}), true},
        {"root, users delete-child", Root({{Trustee::Other, kDeleteChild}}), false},
        {"owned by a user", FolderFacts{.owner = Trustee::Other, .allows = {}}, false},
        {"owned by SYSTEM", FolderFacts{.owner = Trustee::System, .allows = {}}, true},
        {"no access list", FolderFacts{.hasDacl = false, .owner = Trustee::Administrators, .allows = {}}, false},
        {"a link", FolderFacts{.isLink = true, .owner = Trustee::Administrators, .allows = {}}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsFolderSafeAbove(c.folder), c.safe) << c.what;
}

TEST(InstallFolder, Verdicts)
{
    const std::vector<std::wstring> programFiles = {L"C:\\Program Files", L"C:\\Program Files (x86)"};
    const FolderFacts outils = Admin({{Trustee::Other, kModify}}); // D:\Outils made under D:\ by hand
    const struct {
        const char* what;
        InstallFolderFacts facts;
        InstallFolderVerdict verdict;
    } cases[] = {
        {"inside Program Files, whatever is above",
         {L"c:\\program files\\VOR-TIKA Monitor", programFiles, L"", true, {}, false, {}, {}},
         InstallFolderVerdict::Accepted},
        {"Program Files itself",
         {L"C:\\Program Files", programFiles, L"", true, {Root()}, false, {}, {}},
         InstallFolderVerdict::HoldsFiles},
        {"a look-alike of Program Files",
         {L"C:\\Program Files2\\VOR-TIKA",
          programFiles,
          L"",
          false,
          {Root(), Admin({{Trustee::Other, kModify}})},
          false,
          {},
          {}},
         InstallFolderVerdict::ParentUnsafe},
        {"a new folder under a safe root",
         {L"D:\\VOR-TIKA", programFiles, L"", false, {Root()}, false, {}, {}},
         InstallFolderVerdict::Accepted},
        {"under a folder users may modify",
         {L"D:\\Outils\\VOR-TIKA", programFiles, L"", false, {Root(), outils}, false, {}, {}},
         InstallFolderVerdict::ParentUnsafe},
        {"above not read",
         {L"D:\\Outils\\VOR-TIKA", programFiles, L"", false, {}, false, {}, {}},
         InstallFolderVerdict::ParentUnsafe},
        {"an existing folder with files",
         {L"D:\\VOR-TIKA", programFiles, L"", true, {Root()}, false, {}, {}},
         InstallFolderVerdict::HoldsFiles},
        {"the installed version's own folder",
         {L"D:\\vor-tika\\", programFiles, L"D:\\VOR-TIKA", true, {Root()}, true, Admin(), {}},
         InstallFolderVerdict::Accepted},
        {"another installed folder",
         {L"D:\\VOR-TIKA2", programFiles, L"D:\\VOR-TIKA", true, {Root()}, false, {}, {}},
         InstallFolderVerdict::HoldsFiles},
        {"a share",
         {L"\\\\serveur\\partage\\VOR-TIKA", programFiles, L"", false, {}, false, {}, {}},
         InstallFolderVerdict::NotLocal},
        {"a relative path", {L"VOR-TIKA", programFiles, L"", false, {}, false, {}, {}}, InstallFolderVerdict::NotLocal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeInstallFolder(c.facts), c.verdict) << c.what;
}

// An existing folder is taken only as the installed version's own, still kept by Administrators;
// one that cannot be listed counts as one that holds files.
TEST(InstallFolder, ExistingFolder_OnlyTheInstalledOnesOwnWithItsOwnerAndRights)
{
    const std::vector<std::wstring> programFiles = {L"C:\\Program Files"};
    const auto existing = [&](std::wstring installed, bool entries, FolderFacts self) {
        return InstallFolderFacts{
            L"D:\\VOR-TIKA", programFiles, std::move(installed), entries, {Root()}, true, self, {}};
    };
    FolderFacts link = Admin();
    link.isLink = true;
    const FolderFacts userOwned{.owner = Trustee::Other, .allows = {}};
    const struct {
        const char* what;
        InstallFolderFacts facts;
        InstallFolderVerdict verdict;
    } cases[] = {
        {"an empty folder a user made", existing(L"", false, userOwned), InstallFolderVerdict::Foreign},
        {"an empty folder owned by Administrators", existing(L"", false, Admin()), InstallFolderVerdict::Foreign},
        {"one that cannot be listed", existing(L"", true, Admin()), InstallFolderVerdict::HoldsFiles},
        {"another installed folder, empty", existing(L"D:\\Autre", false, Admin()), InstallFolderVerdict::Foreign},
        {"the installed one's, given to a user", existing(L"D:\\VOR-TIKA", true, userOwned),
         InstallFolderVerdict::RightsChanged},
        {"the installed one's, users may write", existing(L"D:\\VOR-TIKA", true, Admin({{Trustee::Other, kModify}})),
         InstallFolderVerdict::RightsChanged},
        {"the installed one's, a link", existing(L"D:\\VOR-TIKA", true, link), InstallFolderVerdict::IsLink},
        {"a link", existing(L"", false, link), InstallFolderVerdict::IsLink},
        {"the installed one's", existing(L"D:\\VOR-TIKA", true, Admin({{Trustee::Other, kReadExecute}})),
         InstallFolderVerdict::Accepted},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeInstallFolder(c.facts), c.verdict) << c.what;
}

// What the setup's own list is read back as, and what would let another account in: entries that
// only pass down to files count as much as the folder's own.
TEST(InstallFolder, OwnFolder_NoOtherAccountOwnsItOrMayWriteToItOrBelow)
{
    constexpr std::uint32_t kGenericReadExecute = 0xA0000000;
    constexpr std::uint32_t kWriteData = 0x2;
    const struct {
        const char* what;
        FolderFacts folder;
        bool own;
    } cases[] = {
        {"the setup's list", Admin({{Trustee::TrustedInstaller, 0x001F01FF}, {Trustee::Other, kReadExecute}}), true},
        {"users read, as generic rights", Admin({{Trustee::Other, kGenericReadExecute}}), true},
        {"owned by SYSTEM", FolderFacts{.owner = Trustee::System, .allows = {}}, true},
        {"users may write files", Admin({{Trustee::Other, kReadExecute | kWriteData}}), false},
        {"users may add subfolders", Admin({{Trustee::Other, kAddSubfolder}}), false},
        {"users write-DAC", Admin({{Trustee::Other, kWriteDac}}), false},
        {"owned by a user", FolderFacts{.owner = Trustee::Other, .allows = {}}, false},
        {"no access list", FolderFacts{.hasDacl = false, .owner = Trustee::Administrators, .allows = {}}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsInstallFolderOwn(c.folder), c.own) << c.what;
}

TEST(InstallFolder, Drive_OnlyAFixedDiskOfThisComputerWithAccessLists)
{
    const struct {
        const char* what;
        DriveFacts drive;
        bool accepted;
    } cases[] = {
        {"an internal SATA disk", {}, true},
        {"an NVMe disk", {.bus = 0x11}, true},
        {"a SCSI disk (a virtual machine's)", {.bus = 0x01}, true},
        {"a removable disk", {.fixed = false}, false},
        {"FAT: no access lists", {.persistentAcls = false}, false},
        {"a USB disk that says it is fixed", {.bus = kBusUsb}, false},
        {"FireWire", {.bus = kBus1394}, false},
        {"an SD card", {.bus = kBusSd}, false},
        {"an MMC card", {.bus = kBusMmc}, false},
        {"a mounted VHD", {.bus = kBusFileBackedVirtual}, false},
        {"a bus that cannot be read", {.busRead = false}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsInstallDriveAccepted(c.drive), c.accepted) << c.what;
    const InstallFolderFacts usb{L"E:\\VOR-TIKA", {}, L"", false, {Root()}, false, {}, {.bus = kBusUsb}};
    EXPECT_EQ(JudgeInstallFolder(usb), InstallFolderVerdict::DriveRefused);
    const InstallFolderFacts bootedFromVhd{
        L"C:\\Program Files\\VOR-TIKA Monitor", {L"C:\\Program Files"}, L"", false, {}, false, {},
        {.bus = kBusFileBackedVirtual}};
    EXPECT_EQ(JudgeInstallFolder(bootedFromVhd), InstallFolderVerdict::Accepted);
}

} // namespace
