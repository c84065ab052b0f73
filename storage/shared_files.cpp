// The data folder and the shared files the monitor trusts (see shared_files.h).
#include "storage/shared_files.h"

DataFolderVerdict JudgeDataFolder(const DataFolderFacts& facts)
{
    if (facts.isLink)
        return DataFolderVerdict::Link;
    if (facts.installedBySetup && facts.protectedList && !facts.ownedByAdministrators)
        return DataFolderVerdict::NotAdministrators;
    return DataFolderVerdict::Use;
}

SharedFileVerdict JudgeSharedFile(const SharedFileFacts& facts)
{
    if (facts.links != 1)
        return SharedFileVerdict::HardLinked;
    if (facts.folderProtected && (facts.protectedList || facts.explicitEntries))
        return SharedFileVerdict::OwnRights;
    return SharedFileVerdict::Use;
}
