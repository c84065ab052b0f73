// The lines kept while their file refuses them (see log_backlog.h).
#include "storage/log_backlog.h"

#include <algorithm>
#include <utility>

std::vector<LogBacklog::Refusal> LogBacklog::Append(FileSystem& files, std::wstring path, std::string bytes)
{
    auto file = std::find_if(files_.begin(), files_.end(), [&](const File& f) { return f.path == path; });
    if (file == files_.end())
        file = files_.insert(files_.end(), File{std::move(path), {}});
    bytes_ += bytes.size();
    ++lines_;
    file->lines.push_back({next_++, std::move(bytes)});
    while (lines_ > 1 && (lines_ > kMaxLines || bytes_ > kMaxBytes))
        DropOldest();

    return Flush(files);
}

// Each file on its own: midnight may leave yesterday's file held while today's takes its lines.
std::vector<LogBacklog::Refusal> LogBacklog::Flush(FileSystem& files)
{
    std::vector<Refusal> refusals;
    for (auto it = files_.begin(); it != files_.end();) {
        const SharedFileAccess access = Write(files, *it);
        if (access == SharedFileAccess::OwnRights || access == SharedFileAccess::HardLinked)
            refusals.push_back({it->path, access});
        it = access == SharedFileAccess::Done ? files_.erase(it) : std::next(it);
    }
    return refusals;
}

// One append of all the file's kept lines: it gets them whole and in order.
SharedFileAccess LogBacklog::Write(FileSystem& files, File& file)
{
    // An empty append first when lines are kept: a file still refused costs one open per line,
    // not the gathering of up to a megabyte.
    if (file.lines.size() > 1) {
        const SharedFileAccess probe = files.AppendToFile(file.path, std::string());
        if (probe != SharedFileAccess::Done)
            return probe;
    }
    std::string batch;
    for (const Line& line : file.lines)
        batch += line.bytes;
    const SharedFileAccess access = files.AppendToFile(file.path, batch);
    if (access != SharedFileAccess::Done)
        return access;
    lines_ -= file.lines.size();
    bytes_ -= batch.size();
    return access;
}

void LogBacklog::DropOldest()
{
    const auto oldest = std::min_element(files_.begin(), files_.end(), [](const File& a, const File& b) {
        return a.lines.front().order < b.lines.front().order;
    });
    --lines_;
    bytes_ -= oldest->lines.front().bytes.size();
    oldest->lines.pop_front();
    if (oldest->lines.empty())
        files_.erase(oldest);
}
