// The activity log's lines that their file refused for now, kept and written later in order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "storage/file_system.h"

// The log lines not yet in their files. A line its file refuses (a program holding the log
// without sharing writing, the other session's monitor appending at the same instant) is kept
// with its own time stamp and file name, and written, before any later line of that file, by
// the next append to that file that succeeds.
class LogBacklog {
public:
    // A few thousand lines, a megabyte at most: hours of a busy monitor. Past either bound the
    // oldest kept line is dropped, so that what is kept is always the latest part of the story
    // and memory stays flat however long the log stays refused.
    static constexpr std::size_t kMaxLines = 4096;
    static constexpr std::size_t kMaxBytes = 1 << 20;

    // A file that refused its lines for its own access list or its other names.
    struct Refusal {
        std::wstring path;
        SharedFileAccess why;
        bool operator==(const Refusal&) const = default;
    };

    // Keeps the line, then appends to each file its kept lines, in order, in one write. Returns
    // the files refused for their rights or names (their lines stay kept).
    std::vector<Refusal> Append(FileSystem& files, std::wstring path, std::string bytes);
    // Tries again the files that keep lines, with no new line: a quiet monitor's kept lines do
    // not wait for its next event.
    std::vector<Refusal> Flush(FileSystem& files);
    std::size_t Kept() const { return lines_; }

private:
    struct Line {
        std::uint64_t order; // when it was logged, among all kept lines
        std::string bytes;
    };
    struct File {
        std::wstring path;
        std::deque<Line> lines;
    };
    SharedFileAccess Write(FileSystem& files, File& file);
    void DropOldest();

    std::vector<File> files_; // rarely more than one: two across midnight
    std::uint64_t next_ = 0;
    std::size_t lines_ = 0;
    std::size_t bytes_ = 0;
};
