// Code page 1252, the local clock and the in-memory file system (see fake_storage.h).
#include "tests/fakes/fake_storage.h"

#include <array>
#include <chrono>

namespace {

// 0x80..0x9F of code page 1252; 0 marks the five bytes it leaves undefined
// (Windows maps those to the C1 control of the same value).
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::wstring Cp1252CodePage::ToWide(const std::string& bytes)
{
    std::wstring out;
    for (unsigned char b : bytes) {
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            out.push_back(static_cast<wchar_t>(kHigh[b - 0x80]));
        else
            out.push_back(static_cast<wchar_t>(b));
    }
    return out;
}

std::string Cp1252CodePage::ToAnsi(const std::wstring& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.push_back('?'); // one default character for the whole pair
            ++i;
            continue;
        }
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        bool found = false;
        for (std::size_t k = 0; k < kHigh.size(); ++k)
            if (kHigh[k] != 0 && kHigh[k] == c) {
                out.push_back(static_cast<char>(0x80 + k));
                found = true;
                break;
            }
        if (!found && c >= 0x80 && c <= 0x9F && kHigh[c - 0x80] == 0) {
            out.push_back(static_cast<char>(c));
            found = true;
        }
        if (!found)
            out.push_back('?');
    }
    return out;
}

LocalDateTime FakeLocalClock::Now()
{
    using namespace std::chrono;
    const sys_days day = year_month_day{year{start_.Year}, month{static_cast<unsigned>(start_.Month)},
                                        std::chrono::day{static_cast<unsigned>(start_.Day)}};
    const auto t = day + hours{start_.Hour} + minutes{start_.Minute} + seconds{start_.Second} +
                   milliseconds{static_cast<long long>(clock_.Now() - startTick_)};
    const sys_days d = floor<days>(t);
    const year_month_day ymd{d};
    const hh_mm_ss hms{floor<seconds>(t - d)};
    clock_.Advance(msPerRead);
    return {int(ymd.year()),          int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

void FakeLocalClock::SetNow(const LocalDateTime& when)
{
    start_ = when;
    startTick_ = clock_.Now();
}

void FakeFileSystem::ForceDirectories(const std::wstring& path)
{
    if (refuseFolderCreation)
        return;
    // The shared folders' rights let no one but administrators add a folder to them.
    for (const auto& [folder, rights] : secured)
        if (path.rfind(folder + L"\\", 0) == 0 && !dirs.count(path))
            return;
    for (std::size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        dirs.insert(path.substr(0, pos));
    dirs.insert(path);
}

bool FakeFileSystem::ParentExists(const std::wstring& path) const
{
    const auto pos = path.rfind(L'\\');
    return pos == std::wstring::npos || dirs.count(path.substr(0, pos)) > 0;
}

SharedFileAccess FakeFileSystem::AppendToFile(const std::wstring& path, const std::string& bytes)
{
    const auto cut = path.rfind(L'\\');
    if (readOnly.count(path) || !ParentExists(path) || reparsePoints.count(path) ||
        (cut != std::wstring::npos && reparsePoints.count(path.substr(0, cut))))
        return SharedFileAccess::Failed;
    if (const auto facts = sharedFacts.find(path); facts != sharedFacts.end()) {
        const SharedFileAccess verdict = AccessOf(JudgeSharedFile(facts->second));
        if (verdict != SharedFileAccess::Done)
            return verdict;
    }
    files[path] += bytes;
    ++writes;
    return SharedFileAccess::Done;
}

SharedFileAccess FakeFileSystem::CheckSharedFile(const std::wstring& path, bool create)
{
    if (reparsePoints.count(path))
        return SharedFileAccess::Failed;
    if (!files.count(path)) {
        if (!create)
            return SharedFileAccess::Missing;
        if (!ParentExists(path))
            return SharedFileAccess::Failed;
        files[path]; // OPEN_ALWAYS makes it, empty, with its folder's inherited list
    }
    const auto facts = sharedFacts.find(path);
    return facts == sharedFacts.end() ? SharedFileAccess::Done : AccessOf(JudgeSharedFile(facts->second));
}

DataFolderFacts FakeFileSystem::DataFolder(const std::wstring& path)
{
    DataFolderFacts facts;
    if (dirs.count(path))
        facts = dataFolderFacts;
    facts.isLink = reparsePoints.count(path) > 0;
    return facts;
}

bool FakeFileSystem::CreateAndWrite(const std::wstring& path, const std::string& bytes)
{
    if (readOnly.count(path) || !ParentExists(path))
        return false;
    files[path] = bytes;
    ++writes;
    return true;
}

void FakeFileSystem::RemoveDirectory(const std::wstring& path)
{
    for (auto it = dirs.begin(); it != dirs.end();)
        it = (*it == path || it->rfind(path + L"\\", 0) == 0) ? dirs.erase(it) : std::next(it);
    for (auto it = files.begin(); it != files.end();)
        it = it->first.rfind(path + L"\\", 0) == 0 ? files.erase(it) : std::next(it);
}
