#pragma once
// Backups of the whole configuration, made before every change to many rows at once, and of
// the DNCAdmin.ini files Kestrum replaces. They go into one folder (BACKUP/BACKUPPATH of
// Kestrum.ini; by default "Backups" beside DNC.mdb), named as backup_names.h says, and
// only the newest BACKUP/BACKUPKEEP (default 20) of each kind are kept.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "transfer/backup_names.h"

#include <optional>

class DatabaseConnection;

inline constexpr int kDefaultBackupKeep = 20;

struct BackupOutcome {
    bool ok = false;
    QString path;   // the backup made
    QString error;  // why there is none
};

// The backups folder as a local path: BACKUP/BACKUPPATH, else "Backups" beside the
// configuration's file, or beside the program for a server database (never the working
// folder). databasePath is the configuration's file or URI (empty: the one DncConnection has
// open).
QString BackupFolder(const QString& databasePath = QString());
int BackupKeepCount();

// The file engine's online backup of an open DNC.mdb into target (written beside it, then renamed),
// consistent while the program has the file open.
BackupOutcome BackupDatabaseFile(const QSqlDatabase& database, const QString& target);
// A server configuration is copied into a new DNC.mdb file (one kestrum-dbcopy can bring
// back) through the configuration copier, from one snapshot of the server.
BackupOutcome BackupServerConfiguration(DatabaseConnection& connection, const QString& target);

// The whole configuration on connection into a new backup in folder; older ones beyond keep
// are removed (never the one just made). keep 0: none are removed.
BackupOutcome BackupConfiguration(DatabaseConnection& connection, const QString& folder, int keep);

// Before a change to many rows (change names it: "Clone", "Node/Port IDs", ...): backs up
// DncConnection. A backup that fails is shown (title "Backup") and false returned: the
// change must not run. This is the call for every bulk change, import and repair included.
bool BackupBeforeBulkChange(const QString& change);
// Off only for measuring what backups cost: BackupRefusal then makes none and refuses
// nothing.
void SetBulkChangeBackupsEnabled(bool enabled);

// The same without showing anything: the message when the backup failed, nothing when made.
std::optional<QString> BackupRefusal(const QString& change);

// Keeps a copy of a DNCAdmin.ini about to be replaced in the backups folder. True when the
// file does not exist yet or its copy was made.
bool KeepDncAdminBeforeReplace(const QString& localPath, QString* error = nullptr);

// Kestrum's configuration backups in folder, newest first (file names): what
// kestrum-backup list shows. A folder that does not exist holds none; one that is not a
// folder or cannot be read gives nothing, with the reason in *error.
std::optional<QStringList> ReadBackupList(const QString& folder, QString* error);
// The same, empty when the folder cannot be read.
QStringList ListBackups(const QString& folder);
