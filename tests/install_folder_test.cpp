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
         {L"c:\\program files\\VOR-TIKA Monitor", programFiles, L"", true, {}},
         InstallFolderVerdict::Accepted},
        {"Program Files itself",
         {L"C:\\Program Files", programFiles, L"", true, {Root()}},
         InstallFolderVerdict::HoldsFiles},
        {"a look-alike of Program Files",
         {L"C:\\Program Files2\\VOR-TIKA", programFiles, L"", false, {Root(), Admin({{Trustee::Other, kModify}})}},
         InstallFolderVerdict::ParentUnsafe},
        {"a new folder under a safe root",
         {L"D:\\VOR-TIKA", programFiles, L"", false, {Root()}},
         InstallFolderVerdict::Accepted},
        {"under a folder users may modify",
         {L"D:\\Outils\\VOR-TIKA", programFiles, L"", false, {Root(), outils}},
         InstallFolderVerdict::ParentUnsafe},
        {"above not read", {L"D:\\Outils\\VOR-TIKA", programFiles, L"", false, {}}, InstallFolderVerdict::ParentUnsafe},
        {"an existing folder with files",
         {L"D:\\VOR-TIKA", programFiles, L"", true, {Root()}},
         InstallFolderVerdict::HoldsFiles},
        {"the installed version's own folder",
         {L"D:\\vor-tika\\", programFiles, L"D:\\VOR-TIKA", true, {Root()}},
         InstallFolderVerdict::Accepted},
        {"another installed folder",
         {L"D:\\VOR-TIKA2", programFiles, L"D:\\VOR-TIKA", true, {Root()}},
         InstallFolderVerdict::HoldsFiles},
        {"a share", {L"\\\\serveur\\partage\\VOR-TIKA", programFiles, L"", false, {}}, InstallFolderVerdict::NotLocal},
        {"a relative path", {L"VOR-TIKA", programFiles, L"", false, {}}, InstallFolderVerdict::NotLocal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeInstallFolder(c.facts), c.verdict) << c.what;
}

} // namespace
