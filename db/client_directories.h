#pragma once
// A client's directories as the directories window and the directory properties change
// them. Paths are Windows path text; two paths that differ only in letter case name the same
// folder on the DNC server, so they count as one directory.

#include "db/dnc_database.h"

#include <optional>

// Whether two directory paths name the same folder (letter case ignored).
bool SameDirectoryPath(const QString& a, const QString& b);

// The client's directory whose path is this one (letter case ignored), from a fresh read.
std::optional<DirectoryRecord> FindClientDirectory(qint32 clientId, const QString& path);

// Inserts one directory row (client and path; the other columns take their defaults), while
// the client still exists. Returns its dir_id; nothing when the insert failed (reported under
// "Error AddDirMDB") or the client is gone (*clientGone set; nothing is written or shown).
std::optional<qint32> AddDirMDB(qint32 clientId, const QString& path, bool* clientGone = nullptr);

// Deletes every row of the client whose path is this one (letter case ignored), in one
// transaction. Returns the number of rows deleted; failures are reported under
// "Error DeleteDirMDB".
int DeleteDirMDB(qint32 clientId, const QString& path);

// True when no directory row of the client other than ownDirId has this alias (letter case
// ignored). A failed query is reported under "Error CheckAliasIsUnique" and gives false, so
// nothing is saved on an unknown state.
bool CheckAliasIsUnique(qint32 clientId, const QString& alias, qint32 ownDirId);

// Writes dir_mode, directory_alias (only when given) and explore_from_here of one row, in
// that order and in one transaction. Returns whether it was stored.
bool SaveDirPropsMDB(qint32 dirId, qint16 mode, const std::optional<QString>& alias,
                     bool exploreFromHere);
