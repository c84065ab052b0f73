// The storage bindings (see storage.h). The log is opened for each line sharing reading and
// writing; the data folder's rights are set through a handle that does not follow a link.
#include "windows/storage.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <aclapi.h>
#include <shlobj.h>

#include "storage/folder_rights.h"
#include "storage/install_folder.h"
#include "storage/paths.h"
#include "windows/owners.h"

// The portable layer's copies of the access masks it grants or refuses.
static_assert(kFullControl == FILE_ALL_ACCESS);
static_assert(kListAndAddFile == (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_ADD_FILE));
static_assert(kReadWriteFile ==
              ((FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE) & ~FILE_WRITE_ATTRIBUTES));
static_assert(kReadAppendFile == (FILE_GENERIC_READ | FILE_APPEND_DATA));
static_assert(kFolderTakeoverRights == (DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD | GENERIC_ALL));

namespace {

// The attributes of what the path names, through a symbolic link or junction
// to its target; nullopt when nothing (or a dangling link) is there.
std::optional<DWORD> TargetAttributes(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return attributes;
    // No access asked: enough to follow the link, and works on folders with backup semantics.
    win32::UniqueFile target(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!target || !::GetFileInformationByHandle(target.Get(), &info))
        return std::nullopt;
    return info.dwFileAttributes;
}

// Opens the path itself, never what a link there leads to.
win32::UniqueFile OpenNoLink(const std::wstring& path, DWORD access, DWORD flags, DWORD disposition = OPEN_EXISTING,
                             DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)
{
    return win32::UniqueFile(::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                           flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::optional<DWORD> AttributesOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return info.dwFileAttributes;
}

// The handle's attributes, and the path's own: Wine opens a Unix symbolic link's target even when
// told not to.
bool IsLink(HANDLE handle, const std::wstring& path)
{
    const auto attributes = AttributesOf(handle);
    const DWORD own = ::GetFileAttributesW(path.c_str());
    return !attributes ||
           ((*attributes | (own == INVALID_FILE_ATTRIBUTES ? 0 : own)) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(HANDLE handle)
{
    const auto attributes = AttributesOf(handle);
    return attributes &&
           (*attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_DIRECTORY;
}

// The setup's installed entry (UNINST_KEY of installer/VORTikaMonitor.nsi, in the 64-bit view).
constexpr const wchar_t* kInstalledEntry = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VORTikaMonitor";
constexpr const wchar_t* kPackageKey = L"Software\\VOR-TIKA Monitor";

bool HasValue(const wchar_t* keyPath, const wchar_t* value)
{
    win32::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS)
        return false;
    return ::RegQueryValueExW(key.Get(), value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The setup program's entry, or the Windows Installer package's folder: either prepared the data folder.
bool InstalledBySetup()
{
    return HasValue(kInstalledEntry, L"InstallLocation") || HasValue(kPackageKey, L"InstallFolder");
}

// What the access list read through the handle says. Unread, it counts as a list of its own
// under a protected folder: the file is not written.
struct ListFacts {
    bool isProtected = true;
    bool explicitEntries = true;
    bool ownedByAdministrators = false;
};

ListFacts ListOf(HANDLE handle)
{
    PSID owner = nullptr;
    PACL dacl = nullptr; // both point into descriptor
    win32::UniqueLocalSecurityDescriptor descriptor;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, descriptor.Put()) != ERROR_SUCCESS)
        return {};
    ListFacts facts;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    facts.isProtected =
        !::GetSecurityDescriptorControl(descriptor.Get(), &control, &revision) || (control & SE_DACL_PROTECTED) != 0;
    // No list at all grants everyone everything: not the inherited one either.
    facts.explicitEntries = dacl == nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace) || (static_cast<ACE_HEADER*>(ace)->AceFlags & INHERITED_ACE) == 0)
            facts.explicitEntries = true;
    }
    facts.ownedByAdministrators = owner != nullptr && (::IsWellKnownSid(owner, WinLocalSystemSid) ||
                                                       ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    return facts;
}

// The file as its handle shows it, in the folder its other handle holds.
SharedFileVerdict JudgeThroughHandles(HANDLE folder, HANDLE file)
{
    SharedFileFacts facts;
    facts.folderProtected = ListOf(folder).isProtected;
    const ListFacts list = ListOf(file);
    facts.protectedList = list.isProtected;
    facts.explicitEntries = list.explicitEntries;
    BY_HANDLE_FILE_INFORMATION info{};
    facts.links = ::GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
    return JudgeSharedFile(facts);
}

WELL_KNOWN_SID_TYPE WellKnownSidOf(Grantee who)
{
    switch (who) {
    case Grantee::System:
        return WinLocalSystemSid;
    case Grantee::Administrators:
        return WinBuiltinAdministratorsSid;
    case Grantee::Users:
        return WinBuiltinUsersSid;
    case Grantee::OwnerRights:
        return WinCreatorOwnerRightsSid;
    }
    return WinNullSid;
}

// Writes everything, in pieces when the text is larger than one WriteFile can take.
bool WriteAll(HANDLE file, const std::string& bytes)
{
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 0x40000000));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        left -= chunk;
    }
    return true;
}

// Opens the file's folder without following a link, and keeps it open without sharing deletion, so
// that it cannot be swapped while the file is opened and judged through it.
win32::UniqueFile OpenFolderOf(const std::wstring& path)
{
    const auto cut = path.find_last_of(L"\\/");
    const std::wstring folderPath = cut == std::wstring::npos ? std::wstring(L".") : path.substr(0, cut);
    win32::UniqueFile folder = OpenNoLink(folderPath, FILE_LIST_DIRECTORY | READ_CONTROL, FILE_FLAG_BACKUP_SEMANTICS,
                                          OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (folder && IsLink(folder.Get(), folderPath))
        folder.Reset();
    return folder;
}

// Sharing reading and writing: a reader that itself shares writing (a viewer that follows the
// log) and the other session's monitor, appending at the same instant, then let the line in.
// A program that shares reading only still refuses us (error 32): the caller keeps the line.
// Neither the folder nor the file may be a link: another user's mount point in place of logs\ would
// send this user's lines into a file of their choosing. The folder stays open meanwhile, without
// sharing deletion, so that it cannot be swapped between the test and the file's open. The file is
// judged through the handle the line is written through: another user's file made first with a
// list of its own, or a second name of theirs, cannot change between the look and the write.
SharedFileAccess OpenAndAppend(const std::wstring& path, const std::string& bytes, bool judge)
{
    const win32::UniqueFile folder = OpenFolderOf(path);
    if (!folder)
        return SharedFileAccess::Failed;
    win32::UniqueFile file = OpenNoLink(path, FILE_APPEND_DATA | READ_CONTROL, FILE_ATTRIBUTE_NORMAL, OPEN_ALWAYS,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!file || IsLink(file.Get(), path))
        return SharedFileAccess::Failed;
    const SharedFileAccess verdict =
        judge ? AccessOf(JudgeThroughHandles(folder.Get(), file.Get())) : SharedFileAccess::Done;
    if (verdict != SharedFileAccess::Done)
        return verdict;
    const bool written = WriteAll(file.Get(), bytes);
    return file.Close() && written ? SharedFileAccess::Done : SharedFileAccess::Failed;
}

} // namespace

std::wstring Win32FileSystem::CommonAppDataFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    return buffer;
}

bool Win32FileSystem::DirectoryExists(const std::wstring& path)
{
    const auto attributes = TargetAttributes(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// SHCreateDirectoryExW refuses relative paths, and the data folder is relative
// when the shell folder cannot be had: create each missing level ourselves.
void Win32FileSystem::ForceDirectories(const std::wstring& path)
{
    std::wstring folder = path;
    while (folder.size() > 1 && IsPathSeparator(folder.back()))
        folder.pop_back();
    if (folder.empty())
        return;

    // From the folder up to the first one that exists, then create them top down.
    std::vector<std::wstring> missing;
    while (!folder.empty() && !DirectoryExists(folder)) {
        missing.push_back(folder);
        const auto cut = folder.find_last_of(L"\\/");
        if (cut == std::wstring::npos)
            break;
        std::size_t end = cut;
        while (end > 0 && IsPathSeparator(folder[end - 1]))
            --end;
        if (end == 0 || folder[end - 1] == L':')
            break; // a root or a drive: nothing to create above it
        folder.resize(end);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        ::CreateDirectoryW(it->c_str(), nullptr); // failures show up as the next level's failure
}

bool Win32FileSystem::IsReparsePoint(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str()); // the link's own, not its target's
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

namespace {

// The list replaces the folder's, protected from what ProgramData would pass down. The folder is
// opened without following a link and its rights are set through that handle, so a link put in
// its place after the caller's test cannot take them elsewhere. Wine enforces none of these
// rights: only the unit tests see what is asked.
bool ApplyRights(const std::wstring& path, const FolderRights& rights, bool toAdministrators)
{
    const DWORD access = READ_CONTROL | WRITE_DAC | (toAdministrators ? WRITE_OWNER : 0);
    const win32::UniqueFile folder = OpenNoLink(path, access, FILE_FLAG_BACKUP_SEMANTICS);
    if (!folder || !IsFolder(folder.Get()))
        return false;
    std::vector<EXPLICIT_ACCESS_W> entries;
    std::vector<std::vector<BYTE>> sids;
    sids.reserve(rights.size() + 1);
    for (const FolderEntry& entry : rights) {
        sids.emplace_back(SECURITY_MAX_SID_SIZE);
        DWORD size = SECURITY_MAX_SID_SIZE;
        if (!::CreateWellKnownSid(WellKnownSidOf(entry.who), nullptr, sids.back().data(), &size))
            return false;
        EXPLICIT_ACCESS_W e{};
        e.grfAccessPermissions = entry.mask;
        e.grfAccessMode = GRANT_ACCESS;
        e.grfInheritance = entry.inherit;
        e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        e.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids.back().data());
        entries.push_back(e);
    }
    win32::UniqueLocalAcl acl;
    if (::SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), nullptr, acl.Put()) != ERROR_SUCCESS)
        return false;
    // The folder's own descriptor, set as it is: unlike SetSecurityInfo, SetKernelObjectSecurity
    // passes nothing down to what the folder holds already.
    SECURITY_DESCRIPTOR descriptor{};
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl.Get(), FALSE) ||
        // Marked auto-inherited as SetSecurityInfo marks it: what is made inside then takes its
        // entries as inherited ones, which is how the monitor tells its own files.
        !::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED,
                                        SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED))
        return false;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    if (toAdministrators) {
        sids.emplace_back(SECURITY_MAX_SID_SIZE);
        DWORD size = SECURITY_MAX_SID_SIZE;
        if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sids.back().data(), &size) ||
            !::SetSecurityDescriptorOwner(&descriptor, sids.back().data(), FALSE))
            return false;
        what |= OWNER_SECURITY_INFORMATION;
    }
    return ::SetKernelObjectSecurity(folder.Get(), what, &descriptor) != FALSE;
}

} // namespace

// A user's monitor cannot give the folder away: OWNER RIGHTS caps what its owner may do instead.
void Win32FileSystem::SecureFolder(const std::wstring& path, const FolderRights& rights)
{
    ApplyRights(path, rights, false);
}

bool Win32FileSystem::SecureFolderAsAdministrators(const std::wstring& path, const FolderRights& rights)
{
    return ApplyRights(path, rights, true);
}

bool Win32FileSystem::FileExists(const std::wstring& path)
{
    const auto attributes = TargetAttributes(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// FILE_APPEND_DATA without FILE_WRITE_DATA (READ_CONTROL only to judge the file): every write lands
// at the end, even if the other instance appended since we opened. OPEN_ALWAYS in the same call: an
// existence test followed by a create could erase what another process wrote between them.
SharedFileAccess Win32FileSystem::AppendToFile(const std::wstring& path, const std::string& bytes)
{
    const bool judged = path == soundFile_;
    const SharedFileAccess access = OpenAndAppend(path, bytes, !judged);
    if (access == SharedFileAccess::Done)
        soundFile_ = path;
    return access;
}

// No access to the data asked: the profile functions' own opens meet no sharing of ours. Created
// here when asked, with no security descriptor: the folder's inherited list, this user's own file.
// A file that was sound stays so: no user may rename, delete or re-permission a file there.
SharedFileAccess Win32FileSystem::CheckSharedFile(const std::wstring& path, bool create)
{
    const win32::UniqueFile folder = OpenFolderOf(path);
    if (!folder)
        return create ? SharedFileAccess::Failed : SharedFileAccess::Missing;
    const win32::UniqueFile file = OpenNoLink(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_ATTRIBUTE_NORMAL,
                                              create ? OPEN_ALWAYS : OPEN_EXISTING);
    if (!file) {
        const DWORD error = ::GetLastError();
        return !create && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? SharedFileAccess::Missing
                                                                                           : SharedFileAccess::Failed;
    }
    if (IsLink(file.Get(), path))
        return SharedFileAccess::Failed;
    return AccessOf(JudgeThroughHandles(folder.Get(), file.Get()));
}

DataFolderFacts Win32FileSystem::DataFolder(const std::wstring& path)
{
    DataFolderFacts facts;
    facts.isLink = IsReparsePoint(path);
    const win32::UniqueFile folder = OpenNoLink(path, READ_CONTROL, FILE_FLAG_BACKUP_SEMANTICS);
    if (facts.isLink || !folder)
        return facts;
    facts.isLink = IsLink(folder.Get(), path);
    const ListFacts list = ListOf(folder.Get());
    facts.protectedList = list.isProtected;
    facts.ownedByAdministrators = list.ownedByAdministrators;
    facts.installedBySetup = InstalledBySetup();
    return facts;
}

LocalDateTime Win32LocalClock::Now()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// Read on each call: the user may change it in the control panel while we run.
// Windows caps it at three characters; Wine derives it from the time format and
// can return more, so ask for the size first.
std::wstring Win32LocalClock::TimeSeparator()
{
    const int size = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, nullptr, 0);
    if (size <= 1)
        return L":";
    std::wstring separator(static_cast<std::size_t>(size), L'\0');
    const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, separator.data(), size);
    if (length <= 1)
        return L":";
    separator.resize(static_cast<std::size_t>(length - 1));
    return separator;
}

std::wstring Win32ProfileStore::GetString(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& defaultValue, std::size_t bufferChars,
                                          const std::wstring& file)
{
    if (bufferChars == 0)
        return {};
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bufferChars, 0x7FFFFFFF));
    std::vector<wchar_t> buffer(size, L'\0');
    const DWORD length = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                                    size, file.c_str());
    return std::wstring(buffer.data(), std::min<DWORD>(length, size - 1));
}

namespace {

// Far above any settings file this program writes; a larger one is not read into memory.
constexpr LONGLONG kMaxProfileBytes = 16LL << 20;
constexpr int kBusyProfileAttempts = 20;
constexpr DWORD kBusyProfileRetryMs = 25;

std::optional<std::string> ReadWhole(HANDLE file)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > kMaxProfileBytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// Earlier versions let users change the settings file's attributes: a read-only flag one of them
// set would fail every other's save. False when there was none or it stays.
bool ClearReadOnly(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return false;
    return ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) != FALSE;
}

// From the start, then cut at the new end: the file keeps its name, owner and access list.
bool WriteWhole(HANDLE file, const std::string& bytes)
{
    LARGE_INTEGER start{};
    DWORD written = 0;
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) &&
           (bytes.empty() || (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                              written == bytes.size())) &&
           ::SetEndOfFile(file);
}

} // namespace

// The settings file's users may write its data, not its attributes: a read-only flag set by one user
// would fail every other's save. WritePrivateProfileStringW opens with GENERIC_WRITE, which asks for
// the attributes too; so it edits a private copy of the file, and the result goes back through a
// handle that asks for the data only (and does not follow a link).
bool Win32ProfileStore::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                                    const std::wstring& file)
{
    // Other sessions' monitors save too, all at once when a setup ends them: a busy file is waited for.
    win32::UniqueFile target;
    for (int attempt = 1;; ++attempt) {
        target = OpenNoLink(file, FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_APPEND_DATA, FILE_ATTRIBUTE_NORMAL,
                            OPEN_ALWAYS, FILE_SHARE_READ);
        const DWORD error = ::GetLastError();
        if (target || attempt == kBusyProfileAttempts)
            break;
        if (error == ERROR_ACCESS_DENIED && ClearReadOnly(file))
            continue;
        if (error != ERROR_SHARING_VIOLATION)
            break;
        ::Sleep(kBusyProfileRetryMs);
    }
    if (!target)
        return false;
    const std::optional<std::string> before = ReadWhole(target.Get());
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD folderLength = ::GetTempPathW(MAX_PATH + 1, folder);
    if (!before || folderLength == 0 || folderLength > MAX_PATH)
        return false;
    // A name never used before by this process: the profile functions may cache a file by its name.
    const std::wstring copyPath = std::wstring(folder) + L"VORTikaMonitor." + std::to_wstring(::GetCurrentProcessId()) +
                                  L"." + std::to_wstring(++copies_) + L".ini";
    std::optional<std::string> after;
    {
        const win32::UniqueFile copy(::CreateFileW(copyPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                   CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!copy || !WriteWhole(copy.Get(), *before))
            return false;
    }
    if (::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), copyPath.c_str())) {
        ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, copyPath.c_str()); // to the disk now
        const win32::UniqueFile copy(
            ::CreateFileW(copyPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (copy)
            after = ReadWhole(copy.Get());
    }
    ::DeleteFileW(copyPath.c_str());
    return after && WriteWhole(target.Get(), *after);
}

// All null but the file name: the documented way to flush the cached file to disk.
void Win32ProfileStore::Flush(const std::wstring& file)
{
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
}
