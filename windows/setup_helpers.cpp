// The setup's helper modes (see setup_helpers.h): the install folder read for its rule, the data
// folders' rights, and the start through the desktop's shell.
#include "windows/setup_helpers.h"

#include <windows.h>

#include <aclapi.h>
#include <exdisp.h>
#include <sddl.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <winioctl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "storage/folder_rights.h"
#include "storage/install_folder.h"
#include "ui/command_line.h"
#include "windows/object_owner.h"
#include "windows/owners.h"
#include "windows/setup_monitors.h"
#include "windows/storage.h"

// The portable layer's copies of the buses it refuses.
static_assert(kBus1394 == BusType1394 && kBusUsb == BusTypeUsb && kBusSd == BusTypeSd && kBusMmc == BusTypeMmc &&
              kBusFileBackedVirtual == BusTypeFileBackedVirtual);

namespace {

constexpr int kMalformed = 2;
constexpr int kRefused = 6;
constexpr int kNotStarted = 7;

// The administrator running the setup counts as one of the Administrators: what they own (a
// folder they made, under a "creator owns" policy, or anything under Wine) is theirs already.
Trustee TrusteeOf(PSID sid)
{
    if (IsWellKnownSid(sid, WinLocalSystemSid))
        return Trustee::System;
    // The setup runs elevated: its own account is an administrator or SYSTEM.
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsThisProcessUser(sid))
        return Trustee::Administrators;
    win32::UniqueSid ti;
    // NT SERVICE\TrustedInstaller: S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (AllocateAndInitializeSid(&nt, 6, 80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u, 0, 0,
                                 ti.Put()) &&
        EqualSid(sid, ti.Get()))
        return Trustee::TrustedInstaller;
    return Trustee::Other;
}

// The folder's owner and the allow entries that apply to the folder itself (every entry, those
// that only pass down too, with everyEntry), read without following a link.
FolderFacts ReadFolder(const std::wstring& path, bool isRoot, bool everyEntry = false)
{
    FolderFacts facts{.isRoot = isRoot, .isLink = true, .hasDacl = false, .owner = Trustee::Other, .allows = {}};
    const win32::UniqueFile folder(
        CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !GetFileInformationByHandle(folder.Get(), &info))
        return facts;
    // The path's own attributes too: Wine opens a Unix symbolic link's target even when told not to.
    const DWORD own = GetFileAttributesW(path.c_str());
    facts.isLink =
        ((info.dwFileAttributes | (own == INVALID_FILE_ATTRIBUTES ? 0 : own)) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    PSID owner = nullptr;
    PACL dacl = nullptr; // both point into descriptor
    win32::UniqueLocalSecurityDescriptor descriptor;
    if (GetSecurityInfo(folder.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, descriptor.Put()) != ERROR_SUCCESS)
        return facts;
    facts.owner = owner != nullptr ? TrusteeOf(owner) : Trustee::Other;
    facts.hasDacl = dacl != nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 && !everyEntry)
            continue;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            const auto* allow = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            PSID sid = const_cast<DWORD*>(&allow->SidStart);
            facts.allows.push_back({TrusteeOf(sid), allow->Mask});
        } else if (header->AceType != ACCESS_DENIED_ACE_TYPE) {
            facts.allows.push_back({Trustee::Other, kFolderTakeoverRights}); // read no further: refuse
        }
    }
    return facts;
}

std::wstring KnownFolder(int csidl)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)) ? buffer : L"";
}

// An existing folder that cannot be listed, or whose listing breaks off, counts as one that holds
// files: the setup cannot tell what is in it.
bool HoldsEntries(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return true;
    bool any = false;
    do {
        const std::wstring name = entry.cFileName;
        any = name != L"." && name != L"..";
    } while (!any && FindNextFileW(find, &entry));
    any = any || GetLastError() != ERROR_NO_MORE_FILES;
    FindClose(find);
    return any;
}

// The drive letter's kind, its volume's flags, and the bus of the disk under it: a VHD or an ISO
// that Windows mounts from a file answers BusTypeFileBackedVirtual (an ISO is a CD-ROM drive too).
DriveFacts ReadDrive(const std::wstring& path)
{
    const std::wstring root = path.substr(0, 3);
    DriveFacts drive{
        .fixed = GetDriveTypeW(root.c_str()) == DRIVE_FIXED, .persistentAcls = false, .busRead = false, .bus = 0};
    DWORD flags = 0;
    drive.persistentAcls = GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
                           (flags & FILE_PERSISTENT_ACLS) != 0;
    // No access asked: enough for the query, for any account.
    const win32::UniqueFile volume(CreateFileW((L"\\\\.\\" + root.substr(0, 2)).c_str(), 0,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(STORAGE_DEVICE_DESCRIPTOR) BYTE buffer[1024] = {};
    DWORD got = 0;
    if (volume &&
        DeviceIoControl(volume.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer, sizeof buffer, &got,
                        nullptr) &&
        got >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(STORAGE_BUS_TYPE)) {
        drive.busRead = true;
        drive.bus = static_cast<std::uint8_t>(reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer)->BusType);
    }
    return drive;
}

int CheckInstallFolder(const std::wstring& path, const std::wstring& installed)
{
    const bool exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    InstallFolderFacts facts{.path = path,
                             .safeBases = {KnownFolder(CSIDL_PROGRAM_FILES), KnownFolder(CSIDL_PROGRAM_FILESX86)},
                             .installedFolder = installed,
                             .existsWithEntries = exists && HoldsEntries(path),
                             .above = {},
                             .exists = exists,
                             .self = exists ? ReadFolder(path, false, true) : FolderFacts{},
                             .drive = {}};
    const std::vector<std::wstring> above = FoldersAbove(path);
    for (std::size_t i = 0; i < above.size(); ++i)
        facts.above.push_back(ReadFolder(above[i], i == 0));
    if (!above.empty())
        facts.drive = ReadDrive(path);
    switch (JudgeInstallFolder(facts)) {
    case InstallFolderVerdict::Accepted:
        return 0;
    case InstallFolderVerdict::NotLocal:
        return 3;
    case InstallFolderVerdict::ParentUnsafe:
        return 4;
    case InstallFolderVerdict::HoldsFiles:
        return 5;
    case InstallFolderVerdict::DriveRefused:
        return 8;
    case InstallFolderVerdict::Foreign:
        return 9;
    case InstallFolderVerdict::RightsChanged:
        return 10;
    case InstallFolderVerdict::IsLink:
        return 11;
    }
    return 4;
}

// Program Files' rights: SYSTEM, Administrators and TrustedInstaller full control, Users read and
// execute, nothing from the parent, Administrators as owner. What IsInstallFolderOwn accepts.
constexpr const wchar_t* kInstallFolderRights =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
    L"(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;OICI;0x1200a9;;;BU)";

// The install folder is made with its rights in the same call: it never exists with what the
// drive's root passes down. One that exists already (the installed version's own, as the check
// found) is taken only while it is still a folder kept by Administrators.
int MakeInstallFolder(const std::wstring& path)
{
    win32::UniqueLocalSecurityDescriptor descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstallFolderRights, SDDL_REVISION_1, descriptor.Put(),
                                                              nullptr))
        return kRefused;
    SECURITY_ATTRIBUTES attributes{
        .nLength = sizeof attributes, .lpSecurityDescriptor = descriptor.Get(), .bInheritHandle = FALSE};
    if (CreateDirectoryW(path.c_str(), &attributes))
        return 0;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return kRefused;
    const DWORD own = GetFileAttributesW(path.c_str());
    const bool folder = own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return folder && IsInstallFolderOwn(ReadFolder(path, false, true)) ? 0 : kRefused;
}

// One entry of a shared folder, read without following a link; an entry that cannot be read is
// judged as one to move aside.
ChildFacts ReadChild(const std::wstring& path)
{
    ChildFacts facts{.isLink = true,
                     .isFolder = false,
                     .links = 1,
                     .ownerTrusted = false,
                     .hasDacl = true,
                     .ownerCapped = false,
                     .unknownEntry = false,
                     .othersMask = 0};
    const win32::UniqueFile child(
        CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!child || !GetFileInformationByHandle(child.Get(), &info))
        return facts;
    const DWORD own = GetFileAttributesW(path.c_str()); // Wine opens a Unix link's target
    const DWORD attributes = info.dwFileAttributes | (own == INVALID_FILE_ATTRIBUTES ? 0 : own);
    facts.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.links = info.nNumberOfLinks;
    PSID owner = nullptr;
    PACL dacl = nullptr; // both point into descriptor
    win32::UniqueLocalSecurityDescriptor descriptor;
    if (GetSecurityInfo(child.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, descriptor.Put()) != ERROR_SUCCESS) {
        facts.hasDacl = false;
        return facts;
    }
    facts.ownerTrusted = owner != nullptr && TrusteeOf(owner) != Trustee::Other;
    facts.hasDacl = dacl != nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            facts.unknownEntry = true;
            continue;
        }
        const auto* allow = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&allow->SidStart);
        if (IsWellKnownSid(sid, WinCreatorOwnerRightsSid))
            facts.ownerCapped = true;
        if (TrusteeOf(sid) == Trustee::Other)
            facts.othersMask |= allow->Mask;
    }
    return facts;
}

// Renamed in place through a handle to the entry itself, as the setup names what it moves aside:
// a link is moved, never what it points to.
bool MoveAside(const std::wstring& folder, const std::wstring& name)
{
    const std::wstring path = folder + L"\\" + name;
    const win32::UniqueFile child(
        CreateFileW(path.c_str(), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!child)
        return false;
    const DWORD now = GetTickCount();
    std::wstring tick;
    for (int shift = 28; shift >= 0; shift -= 4)
        tick += L"0123456789ABCDEF"[(now >> shift) & 0xF];
    const std::wstring target = path + L"." + tick + L".ecarte";
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    target.copy(rename->FileName, target.size());
    return SetFileInformationByHandle(child.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

// Every entry the folder holds that the monitors would not have made so is moved aside; the data
// folder's logs\ is judged by its own step, and what was moved aside before stays as it is.
bool MoveAsideForeignChildren(const std::wstring& folder, const FolderRights& rights, bool isData)
{
    std::vector<std::wstring> foreign;
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring name = entry.cFileName;
        const bool aside = name.size() > 7 && name.compare(name.size() - 7, 7, L".ecarte") == 0;
        if (name == L"." || name == L".." || aside ||
            (isData && CompareStringOrdinal(name.c_str(), -1, L"logs", -1, TRUE) == CSTR_EQUAL))
            continue;
        if (!KeepsChild(ReadChild(folder + L"\\" + name), rights))
            foreign.push_back(name);
    } while (FindNextFileW(find, &entry));
    const bool listed = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    if (!listed)
        return false;
    // One its user holds open without delete sharing stays where it is: never re-permissioned, and
    // refused by each monitor that finds it (its own list, a second name). Failing the setup on it
    // would let any user stop every install.
    for (const std::wstring& name : foreign)
        MoveAside(folder, name);
    return true;
}

// The folder's own rights, passed down to nothing it holds already (a hard link there would hand
// the setup a file of a user's choice); what it holds is judged and moved aside instead. The
// folder stays open without delete sharing meanwhile: it cannot be swapped for a link.
int SecureFolder(const std::wstring& which, const std::wstring& path)
{
    if (which != L"data" && which != L"logs")
        return kRefused;
    const win32::UniqueFile held(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!held)
        return kRefused;
    const FolderRights rights = which == L"data" ? DataFolderRights() : LogsFolderRights();
    Win32FileSystem files;
    if (!files.SecureFolderAsAdministrators(path, rights))
        return kRefused;
    return MoveAsideForeignChildren(path, rights, which == L"data") ? 0 : kRefused;
}

bool RunsAsSystem()
{
    win32::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return true;
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return true;
    return IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, WinLocalSystemSid) != FALSE;
}

// Releases a COM interface at the end of its scope.
template <class T> class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com()
    {
        if (p_ != nullptr)
            p_->Release();
    }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    T** Put() { return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// The desktop's shell folder view, reached through the shell's windows, hands the start to
// Explorer, which runs the program with the desktop user's own rights. An empty program: only
// whether the shell can take a start.
bool ShellExecuteAsDesktopUser(const std::wstring& program)
{
    Com<IShellWindows> windows;
    if (FAILED(
            CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.PutVoid())))
        return false;
    VARIANT location{};
    VARIANT root{};
    VariantInit(&location);
    VariantInit(&root);
    long hwnd = 0;
    Com<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, desktop.Put()) != S_OK ||
        desktop.Get() == nullptr)
        return false;
    Com<IServiceProvider> provider;
    Com<IShellBrowser> browser;
    Com<IShellView> view;
    Com<IDispatch> background;
    Com<IShellFolderViewDual> folderView;
    Com<IDispatch> application;
    Com<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.PutVoid())) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.PutVoid())) ||
        FAILED(folderView->get_Application(application.Put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.PutVoid())))
        return false;
    if (program.empty())
        return true;
    BSTR file = SysAllocString(program.c_str());
    if (file == nullptr)
        return false;
    VARIANT none{};
    VariantInit(&none);
    VARIANT show{};
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const HRESULT started = shell->ShellExecute(file, none, none, none, show);
    SysFreeString(file);
    return SUCCEEDED(started);
}

int Launch(const std::wstring& program)
{
    // As SYSTEM there is no desktop user to start it as; the ended monitors restart themselves.
    if (RunsAsSystem() || GetShellWindow() == nullptr)
        return kNotStarted;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return kNotStarted;
    const bool started = ShellExecuteAsDesktopUser(program);
    CoUninitialize();
    return started ? 0 : kNotStarted;
}

} // namespace

std::optional<int> RunSetupHelper()
{
    int argc = 0;
    const win32::UniqueArgumentVector args(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!args)
        return kMalformed; // the line cannot be read: it may have asked for a mode
    const std::vector<std::wstring> a(args.Get() + (argc > 0 ? 1 : 0), args.Get() + (argc > 0 ? argc : 0));
    switch (SetupModeOf(a)) {
    case SetupMode::None:
        return std::nullopt;
    case SetupMode::CheckFolder:
        return CheckInstallFolder(a[1], a.size() == 3 ? a[2] : L"");
    case SetupMode::SecureFolder:
        return SecureFolder(a[1], a[2]);
    case SetupMode::MakeFolder:
        return MakeInstallFolder(a[1]);
    case SetupMode::Launch:
        return Launch(a[1]);
    case SetupMode::CanLaunch:
        return Launch(L"");
    case SetupMode::EndMonitors:
        return EndMonitors(a[2], a[1] == L"remove");
    case SetupMode::Release:
        return ReleaseMonitors(a[1]);
    case SetupMode::Malformed:
        break;
    }
    return kMalformed;
}
