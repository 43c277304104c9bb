#include "transfer/backup_restore.h"

#include "base/atomic_file.h"
#include "base/database_use_lock.h"
#include "base/redaction.h"
#include "components/database_connection.h"
#include "components/database_file.h"
#include "db/backend.h"
#include "db/schema_names.h"
#include "transfer/backup.h"
#include "transfer/backup_names.h"
#include "transfer/configuration_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

namespace {

const QString kDamagedPrefix = QStringLiteral("DNC-damaged");
const QStringList kSideFiles = {QStringLiteral("-journal"), QStringLiteral("-wal"),
                                QStringLiteral("-shm")};

// A byte copy into a new file: written under another name, then renamed, never over a file.
bool CopyInto(const QString& from, const QString& to, QString* error) {
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(from, part)) {
        *error = QStringLiteral("\"%1\" could not be copied to \"%2\"").arg(from, to);
        return false;
    }
    if (!RenameWithoutReplacing(part, to, error)) {
        QFile::remove(part);
        return false;
    }
    return true;
}

// The damaged file and whatever journal it has go into the backups folder; a new file made
// from the backup is renamed into its place. No other program may hold a lock on it: their
// journal would be live, and moving it would lose their work. claim is the restore's own
// exclusive claim on the damaged file.
bool ReplaceDamaged(const DatabaseFileHandle& backup, const QString& databasePath,
                    const QString& folder, DatabaseUseLock& claim, RestoreOutcome* outcome) {
    // The file a link leads to is replaced; the link stays.
    const QString real = QFileInfo(databasePath).canonicalFilePath();
    if (OtherProgramHoldsDatabaseFile(real)) {
        outcome->error =
            QStringLiteral("\"%1\" is open in another program; close it first").arg(databasePath);
        return false;
    }
    const QString kept = NewBackupPath(folder, kDamagedPrefix, QStringLiteral(".mdb"));
    QStringList copied;
    bool ok = CopyInto(real, kept, &outcome->error);
    if (ok) {
        copied << kept;
    }
    for (const QString& side : kSideFiles.mid(0, 2)) {
        if (ok && QFileInfo::exists(real + side)) {
            ok = CopyInto(real + side, kept + side, &outcome->error);
            if (ok) {
                copied << kept + side;
            }
        }
    }
    const QString restored = real + QStringLiteral(".restore");
    QFile::remove(restored);
    ok = ok && WriteDatabaseFileCopy(backup, restored, &outcome->error);
    if (!ok) {
        for (const QString& file : copied) {
            QFile::remove(file);
        }
        QFile::remove(restored);
        return false;
    }
    // The new file is claimed before it takes the name: a Kestrum that opens it then waits
    // for the restore to end.
    DatabaseUseLock restoredClaim;
    if (restoredClaim.Acquire(restored, DatabaseUseLock::Mode::Exclusive, 0) !=
        DatabaseUseLock::Result::Held) {
        outcome->error = restoredClaim.Error();
        for (const QString& file : copied) {
            QFile::remove(file);
        }
        QFile::remove(restored);
        return false;
    }
    // The old journal must never be applied to the new file: it was copied above and goes
    // before the new file appears under the name.
    QStringList removed;
    for (const QString& side : kSideFiles) {
        if (QFile::remove(real + side)) {
            removed << side;
        }
    }
    if (DatabaseUseLock::BlocksReplace()) {
        claim.Release();
    }
    if (!RenameOver(restored, real, &outcome->error)) {
        // Another program has the damaged file open (Windows refuses then): it stays as it
        // was, journal and all, and so does the backups folder.
        QString ignored;
        for (const QString& side : removed) {
            if (copied.contains(kept + side)) {
                CopyInto(kept + side, real + side, &ignored);
            }
        }
        for (const QString& file : copied) {
            QFile::remove(file);
        }
        restoredClaim.Release();
        QFile::remove(restored);
        return false;
    }
    outcome->keptDamaged = kept;
    return true;
}

// Why the file is damaged or not a Kestrum configuration; nothing when it is sound.
std::optional<QString> ConfigurationFault(const DatabaseFileHandle& database,
                                          bool* busy = nullptr) {
    QList<QPair<QString, QStringList>> schema;
    for (const QString& table : SchemaTables()) {
        schema.append({table, SchemaColumns(table)});
    }
    return SchemaFault(database, schema, busy);
}

// The backup named, read into memory and checked: what is checked is what is restored,
// whatever happens to the file meanwhile.
DatabaseFileHandle CheckedBackup(const QString& folder, const QString& backupName, QString* error) {
    if (std::optional<QString> refusal = BackupNameRefusal(folder, backupName)) {
        *error = *refusal;
        return nullptr;
    }
    DatabaseFileHandle backup =
        LoadDatabaseFileIntoMemory(QDir(folder).filePath(backupName), error);
    if (!backup) {
        return nullptr;
    }
    if (std::optional<QString> fault = ConfigurationFault(backup)) {
        *error = QStringLiteral("\"%1\" cannot be restored: %2").arg(backupName, *fault);
        return nullptr;
    }
    return backup;
}

QString UniqueConnectionName() {
    return QStringLiteral("restore-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
}

// The configuration of a checked backup, read from a copy of it in a folder of its own (so
// nothing is written beside the backups, not even a journal).
bool ReadBackupConfiguration(const DatabaseFileHandle& backup, SourceConfiguration* source,
                             QString* error) {
    const QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("backup.mdb"));
    if (!scratch.isValid() || !WriteDatabaseFileCopy(backup, copy, error)) {
        if (scratch.isValid()) {
            return false;
        }
        *error = QStringLiteral("no temporary folder to read the backup in");
        return false;
    }
    DatabaseConnection reader(UniqueConnectionName());
    const bool read =
        OpenDatabaseAt(reader, copy, error) && ReadDatabaseConfiguration(reader, source, error);
    reader.Close();
    return read;
}

}  // namespace

std::optional<QString> BackupNameRefusal(const QString& folder, const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("give the name of a backup kestrum-backup list shows");
    }
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        QDir::isAbsolutePath(name)) {
        return QStringLiteral(
                   "\"%1\" is a path: give only the name of a backup "
                   "kestrum-backup list shows")
            .arg(name);
    }
    if (name.contains(QStringLiteral(".."))) {
        return QStringLiteral("\"%1\" leads out of the backups folder").arg(name);
    }
    const std::optional<BackupName> parsed = ParseBackupName(name, kDatabaseBackupSuffix);
    if (!parsed || parsed->prefix != kDatabaseBackupPrefix) {
        return QStringLiteral(
                   "\"%1\" is not the name of a configuration backup Kestrum made "
                   "(kestrum-backup list shows them)")
            .arg(name);
    }
    const QFileInfo info(QDir(folder).filePath(name));
    if (info.isSymLink()) {
        return QStringLiteral("\"%1\" is a link, not a backup Kestrum made").arg(name);
    }
    if (!info.exists()) {
        return QStringLiteral("there is no backup \"%1\" in \"%2\"").arg(name, folder);
    }
    if (!info.isFile() || QFileInfo(info.canonicalFilePath()).absolutePath() !=
                              QFileInfo(folder).canonicalFilePath()) {
        return QStringLiteral("\"%1\" is not a backup file of \"%2\"").arg(name, folder);
    }
    return std::nullopt;
}

RestoreOutcome RestoreBackup(const QString& databasePath, const QString& backupName,
                             const QString& folder, int keep, bool replaceDamaged) {
    RestoreOutcome outcome;
    const DatabaseFileHandle backup = CheckedBackup(folder, backupName, &outcome.error);
    if (!backup) {
        return outcome;
    }
    const QFileInfo database(databasePath);
    if (!database.isFile()) {
        outcome.error = QStringLiteral("there is no configuration \"%1\"").arg(databasePath);
        return outcome;
    }

    DatabaseUseLock lock;
    switch (lock.Acquire(databasePath, DatabaseUseLock::Mode::Exclusive, 0)) {
        case DatabaseUseLock::Result::Held:
            break;
        case DatabaseUseLock::Result::InUse:
            outcome.error = QStringLiteral(
                                "Kestrum has \"%1\" open (for some user, on this or "
                                "another computer); close it first")
                                .arg(databasePath);
            return outcome;
        case DatabaseUseLock::Result::Failed:
            outcome.error = lock.Error();
            return outcome;
    }

    QString openError;
    DatabaseFileHandle current = OpenDatabaseFile(databasePath, &openError);
    bool busy = false;
    std::optional<QString> damage =
        current ? IntegrityFault(current, &busy) : std::optional<QString>(openError);
    if (busy) {
        outcome.error = QStringLiteral("\"%1\" was not restored: %2").arg(databasePath, *damage);
        return outcome;
    }
    if (damage && !replaceDamaged) {
        outcome.damaged = true;
        outcome.error = QStringLiteral(
                            "\"%1\" is damaged (%2), so it cannot be backed up "
                            "before the restore")
                            .arg(databasePath, *damage);
        return outcome;
    }
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        outcome.error = QStringLiteral("the backups folder \"%1\" cannot be made").arg(folder);
        return outcome;
    }
    if (damage) {
        current.reset();
        outcome.ok = ReplaceDamaged(backup, databasePath, folder, lock, &outcome);
        return outcome;
    }

    // The configuration as it is, first: the restore can be undone by another restore.
    const QString saved = NewBackupPath(folder, kDatabaseBackupPrefix, kDatabaseBackupSuffix);
    QString error;
    if (!WriteDatabaseFileCopy(current, saved, &error)) {
        outcome.error = QStringLiteral(
                            "the configuration as it is could not be backed up "
                            "first, so nothing was restored: %1")
                            .arg(error);
        return outcome;
    }
    if (!CopyDatabaseFileOver(backup, current, &error)) {
        QFile::remove(saved);  // nothing changed: the folder stays as it was
        outcome.error = QStringLiteral("\"%1\" was not restored: %2").arg(databasePath, error);
        return outcome;
    }
    // Only now, with the restore done, may older backups go; never the undo copy.
    PruneBackups(folder, kDatabaseBackupPrefix, kDatabaseBackupSuffix, keep,
                 {QFileInfo(saved).fileName()});
    outcome.ok = true;
    outcome.savedCurrent = saved;
    return outcome;
}

RestoreOutcome RestoreServerBackup(const QString& uri, const QString& backupName,
                                   const QString& folder, int keep, bool force) {
    RestoreOutcome outcome;
    SourceConfiguration source;
    {
        const DatabaseFileHandle backup = CheckedBackup(folder, backupName, &outcome.error);
        if (!backup || !ReadBackupConfiguration(backup, &source, &outcome.error)) {
            return outcome;
        }
    }
    DatabaseConnection target(UniqueConnectionName());
    QString error;
    if (!OpenDatabaseAt(target, uri, &error)) {
        outcome.error =
            QStringLiteral("\"%1\" cannot be opened: %2").arg(ShownLocation(uri), error);
        return outcome;
    }
    const std::optional<QStringList> sessions =
        target.Engine().OtherSessions(target.Database(), &error);
    if (!sessions) {
        outcome.error = QStringLiteral("who else is connected could not be read: %1").arg(error);
        return outcome;
    }
    if (!sessions->isEmpty() && !force) {
        outcome.inUse = true;
        outcome.error = QStringLiteral("Kestrum is connected to \"%1\": %2")
                            .arg(ShownLocation(uri), sessions->join(QStringLiteral("; ")));
        return outcome;
    }
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        outcome.error = QStringLiteral("the backups folder \"%1\" cannot be made").arg(folder);
        return outcome;
    }
    // The configuration as it is, first: the restore can be undone by another restore.
    const BackupOutcome saved = BackupConfiguration(target, folder, 0);
    if (!saved.ok) {
        outcome.error = QStringLiteral(
                            "the configuration as it is could not be backed up "
                            "first, so nothing was restored: %1")
                            .arg(saved.error);
        return outcome;
    }
    const CopyOutcome copied = CopyConfiguration(source, target, TargetRows::Replace);
    target.Close();
    if (!copied.ok) {
        QFile::remove(saved.path);  // nothing changed: the folder stays as it was
        outcome.error =
            QStringLiteral("\"%1\" was not restored: %2").arg(ShownLocation(uri), copied.error);
        return outcome;
    }
    PruneBackups(folder, kDatabaseBackupPrefix, kDatabaseBackupSuffix, keep,
                 {QFileInfo(saved.path).fileName()});
    outcome.ok = true;
    outcome.savedCurrent = saved.path;
    return outcome;
}
