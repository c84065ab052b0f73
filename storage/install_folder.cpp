// The install folder rule (see install_folder.h).
#include "storage/install_folder.h"

#include <algorithm>
#include <cwctype>

#include "storage/paths.h"

namespace {

std::wstring Folded(std::wstring path)
{
    while (path.size() > 3 && IsPathSeparator(path.back()))
        path.pop_back();
    for (wchar_t& c : path)
        c = IsPathSeparator(c) ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    return path;
}

bool IsLocalPath(const std::wstring& path)
{
    return path.size() >= 4 && std::iswalpha(path[0]) && path[1] == L':' && IsPathSeparator(path[2]) &&
           !IsPathSeparator(path[3]);
}

} // namespace

bool IsFolderSafeAbove(const FolderFacts& folder)
{
    if (folder.isLink || !folder.hasDacl || folder.owner == Trustee::Other)
        return false;
    // A root cannot be renamed: DELETE on it gives nothing, delete-child on it does.
    const std::uint32_t harmful = folder.isRoot ? kFolderTakeoverRights & ~0x00010000u : kFolderTakeoverRights;
    return std::ranges::none_of(folder.allows, [harmful](const AllowEntry& entry) {
        return entry.who == Trustee::Other && (entry.mask & harmful) != 0;
    });
}

bool IsInstallFolderOwn(const FolderFacts& folder)
{
    // Read, list, traverse, read attributes and the access list (what icacls names RX), also as
    // GENERIC_READ | GENERIC_EXECUTE.
    constexpr std::uint32_t kReadExecute = 0x001200A9 | 0x80000000 | 0x20000000;
    if (folder.isLink || !folder.hasDacl || folder.owner == Trustee::Other)
        return false;
    return std::ranges::none_of(folder.allows, [](const AllowEntry& entry) {
        return entry.who == Trustee::Other && (entry.mask & ~kReadExecute) != 0;
    });
}

bool IsInstallDriveAccepted(const DriveFacts& drive)
{
    if (!drive.fixed || !drive.persistentAcls || !drive.busRead)
        return false;
    for (const std::uint8_t refused : {kBus1394, kBusUsb, kBusSd, kBusMmc, kBusFileBackedVirtual})
        if (drive.bus == refused)
            return false;
    return true;
}

bool IsInside(const std::wstring& path, const std::wstring& base)
{
    if (base.empty())
        return false;
    const std::wstring p = Folded(path);
    std::wstring b = Folded(base);
    if (b.back() != L'\\')
        b += L'\\';
    return p.size() > b.size() && p.compare(0, b.size(), b) == 0;
}

std::vector<std::wstring> FoldersAbove(const std::wstring& path)
{
    if (!IsLocalPath(path))
        return {};
    const std::wstring folded = Folded(path);
    std::vector<std::wstring> folders{path.substr(0, 3)};
    for (std::size_t cut = folded.find(L'\\', 3); cut != std::wstring::npos; cut = folded.find(L'\\', cut + 1))
        folders.push_back(path.substr(0, cut));
    return folders;
}

InstallFolderVerdict JudgeInstallFolder(const InstallFolderFacts& facts)
{
    if (!IsLocalPath(facts.path))
        return InstallFolderVerdict::NotLocal;
    const bool underBase =
        std::ranges::any_of(facts.safeBases, [&facts](const std::wstring& base) { return IsInside(facts.path, base); });
    if (underBase)
        return InstallFolderVerdict::Accepted; // Windows' own drive, whatever it is (a VHD it boots from)
    if (!IsInstallDriveAccepted(facts.drive))
        return InstallFolderVerdict::DriveRefused;
    if (facts.above.empty() || !std::ranges::all_of(facts.above, IsFolderSafeAbove))
        return InstallFolderVerdict::ParentUnsafe;
    if (!facts.exists && !facts.existsWithEntries)
        return InstallFolderVerdict::Accepted; // the setup's helper makes it with its rights
    if (facts.self.isLink)
        return InstallFolderVerdict::IsLink;
    const bool ours = !facts.installedFolder.empty() && Folded(facts.path) == Folded(facts.installedFolder);
    if (!ours)
        return facts.existsWithEntries ? InstallFolderVerdict::HoldsFiles : InstallFolderVerdict::Foreign;
    return IsInstallFolderOwn(facts.self) ? InstallFolderVerdict::Accepted : InstallFolderVerdict::RightsChanged;
}
