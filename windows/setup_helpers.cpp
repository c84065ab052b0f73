// The setup's helper modes (see setup_helpers.h): the install folder read for its rule, the data
// folders' rights, and the start through the desktop's shell.
#include "windows/setup_helpers.h"

#include <windows.h>

#include <aclapi.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "storage/folder_rights.h"
#include "storage/install_folder.h"
#include "ui/command_line.h"
#include "windows/object_owner.h"
#include "windows/owners.h"
#include "windows/setup_monitors.h"
#include "windows/storage.h"

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

// The folder's owner and the allow entries that apply to the folder itself, read without
// following a link.
FolderFacts ReadFolder(const std::wstring& path, bool isRoot)
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
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0)
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

bool HoldsEntries(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool any = false;
    do {
        const std::wstring name = entry.cFileName;
        any = name != L"." && name != L"..";
    } while (!any && FindNextFileW(find, &entry));
    FindClose(find);
    return any;
}

int CheckInstallFolder(const std::wstring& path, const std::wstring& installed)
{
    InstallFolderFacts facts{.path = path,
                             .safeBases = {KnownFolder(CSIDL_PROGRAM_FILES), KnownFolder(CSIDL_PROGRAM_FILESX86)},
                             .installedFolder = installed,
                             .existsWithEntries = HoldsEntries(path),
                             .above = {}};
    const std::vector<std::wstring> above = FoldersAbove(path);
    for (std::size_t i = 0; i < above.size(); ++i)
        facts.above.push_back(ReadFolder(above[i], i == 0));
    switch (JudgeInstallFolder(facts)) {
    case InstallFolderVerdict::Accepted:
        return 0;
    case InstallFolderVerdict::NotLocal:
        return 3;
    case InstallFolderVerdict::ParentUnsafe:
        return 4;
    case InstallFolderVerdict::HoldsFiles:
        return 5;
    }
    return 4;
}

int SecureFolder(const std::wstring& which, const std::wstring& path)
{
    if (which != L"data" && which != L"logs")
        return kRefused;
    Win32FileSystem files;
    return files.SecureFolderAsAdministrators(path, which == L"data" ? DataFolderRights() : LogsFolderRights())
               ? 0
               : kRefused;
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
