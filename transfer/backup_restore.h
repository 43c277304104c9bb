#pragma once
// Putting a configuration backup back in place of DNC.mdb. Nothing is replaced until the
// backup is known sound and a copy of the configuration as it is has been made, and nothing
// is replaced under a running Kestrum.

#include <QString>

#include <optional>

// Why name is not a backup kestrum-backup list shows in folder (a path, "..", a link, a
// file Kestrum did not make, one that is not there); nothing when it is one.
std::optional<QString> BackupNameRefusal(const QString& folder, const QString& name);

struct RestoreOutcome {
    bool ok = false;
    QString savedCurrent;  // the backup of the configuration as it was before the restore
    QString keptDamaged;   // a damaged DNC.mdb replaced by force: where it was put
    bool damaged = false;  // refused because DNC.mdb is damaged (force would replace it)
    bool inUse = false;    // refused because other sessions use the server database (force)
    QString error;
};

// Restores the backup named backupName of folder into the DNC.mdb file at databasePath
// (a link stays a link: the file it leads to gets the configuration). The backup must pass
// the engine's integrity check and hold every table and column of Kestrum's schema. The
// configuration as it is goes to a new backup first (never pruned by this restore), then the
// backup is copied over it through the engine's online backup, so other connections, journal and
// WAL stay consistent. Refused while any Kestrum has the database open, or when another
// program's lock outlasts the usual wait; a refusal leaves the database and the backups as
// they were.
//
// A DNC.mdb that is itself damaged cannot be backed up first: with replaceDamaged it is moved
// into the backups folder (as "DNC-damaged_<date and time>Z.mdb", with its journal or WAL)
// and a new file takes its place; without it, the restore is refused.
RestoreOutcome RestoreBackup(const QString& databasePath, const QString& backupName,
                             const QString& folder, int keep, bool replaceDamaged = false);

// The same for a server database (a connection URI): the backup is checked as above and its
// configuration read, the configuration on the server goes to a new backup first, then every
// table of the configuration is replaced in one transaction; no key counter goes back, so no
// identifier handed out since is handed out again. The change log stays as it is: a restore
// does not undo the record of who changed what. Refused, naming them, while other sessions of
// Kestrum or its tools are connected to the database, unless force.
RestoreOutcome RestoreServerBackup(const QString& uri, const QString& backupName,
                                   const QString& folder, int keep, bool force = false);
