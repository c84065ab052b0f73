// What the monitor trusts of the shared data folder and of the files it writes there: a data
// folder that is no link and, once the setup has made it, still Administrators' own; a log or
// settings file that has only the access list it inherited and one name.
#pragma once
#include <cstdint>

// What Windows says of the data folder, before the monitor uses it.
struct DataFolderFacts {
    bool isLink = false;                // the path itself is a reparse point (junction, symbolic link)
    bool installedBySetup = false;      // the setup's installed entry is there
    bool protectedList = false;         // its access list inherits nothing from above
    bool ownedByAdministrators = false; // its owner is SYSTEM or Administrators
    bool operator==(const DataFolderFacts&) const = default;
};

enum class DataFolderVerdict { Use, Link, NotAdministrators };

// The setup gives the data folder its protected list and Administrators as owner in one call, and
// writes its installed entry afterwards: with both there, another owner means the folder was taken
// or made again by a user, and is not used. A folder without the setup's protected list is not
// the setup's (a copied monitor's is its user's own, under the OWNER RIGHTS cap); one that does not
// exist has nothing to judge.
DataFolderVerdict JudgeDataFolder(const DataFolderFacts& facts);

// What Windows says of a log or settings file through the handle that reads or writes it, and of
// the folder that holds it.
struct SharedFileFacts {
    bool folderProtected = false; // the folder's list is protected: it passes the OWNER RIGHTS cap down
    bool protectedList = false;   // the file's own list inherits nothing
    bool explicitEntries = false; // the file's list holds an entry of its own (or could not be read)
    std::uint32_t links = 1;      // its names (hard links)
    bool operator==(const SharedFileFacts&) const = default;
};

enum class SharedFileVerdict { Use, OwnRights, HardLinked };

// Only a file made without a security descriptor holds the cap that keeps its creator from
// rewriting other users' lines; a second name may lead to a file its maker could not write. Under
// a folder that passes no cap down (not the list the setup or the monitor gives), a file's own list
// tells nothing of who may rewrite it, and only the names are judged.
SharedFileVerdict JudgeSharedFile(const SharedFileFacts& facts);
