#include "transfer/backup.h"

#include "base/app_state.h"
#include "base/inifile.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "components/database_connection.h"
#include "db/backend.h"
#include "db/configuration_rows.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "transfer/configuration_copy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

namespace {

const QString kDatabasePrefix = QStringLiteral("DNC");
const QString kDatabaseSuffix = QStringLiteral(".mdb");
const QString kIniPrefix = QStringLiteral("DNCAdmin");
const QString kIniSuffix = QStringLiteral(".ini");

QString SettingsFile() {
    return SettingsFileName.isEmpty() ? JoinPath(ProgramFolder(), ProgramTitle() + ".ini")
                                      : SettingsFileName;
}

QString OpenDatabasePath() {
    // A server database has no folder: its backups go beside the program.
    if (IsDatabaseUri(DatabaseConnection::DataSourceOf(DncConnectionString))) {
        return QString();
    }
    if (DncConnection.IsOpen()) {
        const QString name = DncConnection.Database().databaseName();
        if (!name.isEmpty()) {
            return name;
        }
    }
    const QString source = DatabaseConnection::DataSourceOf(DncConnectionString);
    return source.isEmpty() ? QString() : NativePath(source);
}

sqlite3* SqliteHandle(const QSqlDatabase& database) {
    if (!database.driver()) {
        return nullptr;
    }
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Names of this kind in folder, oldest first: the stamp sorts by time, a same-second
// suffix ("_02") after the plain name.
QStringList NamesOf(const QString& folder, const QString& prefix, const QString& suffix) {
    QStringList names =
        QDir(folder).entryList({prefix + QStringLiteral("_*") + suffix}, QDir::Files, QDir::Name);
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const QString x = a.chopped(suffix.size());
        const QString y = b.chopped(suffix.size());
        return x < y;
    });
    return names;
}

bool CopyBytes(const QString& from, const QString& to, QString* error) {
    QFile::remove(to);
    if (!QFile::copy(from, to)) {
        if (error) {
            *error = QStringLiteral("\"%1\" could not be copied to \"%2\"").arg(from, to);
        }
        return false;
    }
    return true;
}

}  // namespace

QString DatabasePathFromSettings() {
    const QString folder = ReadIniValue(SettingsFile(), QStringLiteral("ADMIN"),
                                        QStringLiteral("MDBPATH"), ProgramFolder());
    return NativePath(JoinPath(folder, QStringLiteral("DNC.mdb")));
}

bool IsPostgresUri(const QString& db) {
    return db.startsWith(QLatin1String("postgresql:"), Qt::CaseInsensitive) ||
           db.startsWith(QLatin1String("postgres:"), Qt::CaseInsensitive);
}

QString BackupFolder(const QString& databasePath) {
    const QString configured = ReadIniValue(SettingsFile(), QStringLiteral("BACKUP"),
                                            QStringLiteral("BACKUPPATH"), QString())
                                   .trimmed();
    if (!configured.isEmpty()) {
        return NativePath(configured);
    }
    const QString database = databasePath.isEmpty() ? OpenDatabasePath() : databasePath;
    const QString beside =
        database.isEmpty() ? ProgramFolder() : QFileInfo(database).absolutePath();
    return QDir(beside).filePath(QStringLiteral("Backups"));
}

int BackupKeepCount() {
    bool ok = false;
    const int keep = ReadIniValue(SettingsFile(), QStringLiteral("BACKUP"),
                                  QStringLiteral("BACKUPKEEP"), QString())
                         .trimmed()
                         .toInt(&ok);
    return ok && keep > 0 ? keep : kDefaultBackupKeep;
}

QString NewBackupPath(const QString& folder, const QString& prefix, const QString& suffix) {
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
        QLatin1Char('Z');
    // Within one second the names go on counting up from the newest there is (never from
    // a gap left by pruning), so name order stays the order of making.
    const QDir dir(folder);
    const QString base = prefix + QLatin1Char('_') + stamp;
    int newest = 0;
    for (const QString& taken : dir.entryList({base + QLatin1Char('*') + suffix}, QDir::Files)) {
        const QString middle = taken.mid(base.size()).chopped(suffix.size());
        newest = std::max(newest, middle.isEmpty() ? 1 : middle.mid(1).toInt());
    }
    const QString name =
        newest == 0
            ? base + suffix
            : base + QStringLiteral("_%1").arg(newest + 1, 2, 10, QLatin1Char('0')) + suffix;
    return dir.filePath(name);
}

BackupOutcome BackupSqliteDatabase(const QSqlDatabase& database, const QString& target) {
    BackupOutcome outcome;
    sqlite3* source = SqliteHandle(database);
    if (!source) {
        outcome.error = QStringLiteral("The configuration is not an open SQLite database");
        return outcome;
    }
    // Written under another name first, so a half-made backup is never taken for one.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(part).constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (backup) {
            do {
                rc = sqlite3_backup_step(backup, -1);
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                    sqlite3_sleep(20);
                }
            } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
            sqlite3_backup_finish(backup);
        }
        rc = sqlite3_errcode(copy);
    }
    const QString why =
        copy ? QString::fromUtf8(sqlite3_errmsg(copy)) : QStringLiteral("out of memory");
    sqlite3_close(copy);
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        QFile::remove(part);
        outcome.error = QStringLiteral("\"%1\" could not be written: %2").arg(target, why);
        return outcome;
    }
    QFile::remove(target);
    if (!QFile::rename(part, target)) {
        QFile::remove(part);
        outcome.error = QStringLiteral("\"%1\" could not be written").arg(target);
        return outcome;
    }
    outcome.ok = true;
    outcome.path = target;
    return outcome;
}

BackupOutcome BackupPostgresConfiguration(DatabaseConnection& connection, const QString& target) {
    BackupOutcome outcome;
    // A connection of its own reads one snapshot of every table, whatever the program's
    // connection is doing.
    DatabaseConnection reader(
        QStringLiteral("backup-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
    QString error;
    SourceConfiguration source;
    const bool read = OpenDatabaseAt(reader, connection.Location(), &error) &&
                      ConfigurationRows::BeginSnapshot(reader, &error) &&
                      ReadDatabaseConfiguration(reader, &source, &error);
    if (reader.IsOpen()) {
        ConfigurationRows::Rollback(reader);
    }
    reader.Close();
    if (!read) {
        outcome.error = error;
        return outcome;
    }
    // Written under another name first, so a half-made backup is never taken for one.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    bool copied = CreateDatabaseAt(part, &error);
    if (copied) {
        DatabaseConnection writer(
            QStringLiteral("backup-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
        copied = OpenDatabaseAt(writer, part, &error).has_value();
        if (copied) {
            const CopyOutcome copy = CopyConfiguration(source, writer);
            copied = copy.ok;
            error = copy.error;
        }
        writer.Close();
    }
    if (!copied || !QFile::rename(part, target)) {
        QFile::remove(part);
        outcome.error = QStringLiteral("\"%1\" could not be written: %2").arg(target, error);
        return outcome;
    }
    outcome.ok = true;
    outcome.path = target;
    return outcome;
}

BackupOutcome BackupConfiguration(DatabaseConnection& connection, const QString& folder, int keep) {
    BackupOutcome outcome;
    // A connection lost in an earlier action is opened again here: the backup is often the
    // first step of the next one.
    if (!connection.EnsureOpen()) {
        outcome.error = QStringLiteral("The database connection is not open");
        return outcome;
    }
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        outcome.error = QStringLiteral("The backups folder \"%1\" cannot be made").arg(folder);
        return outcome;
    }
    const QString target = NewBackupPath(folder, kDatabasePrefix, kDatabaseSuffix);
    const QSqlDatabase database = connection.Database();
    outcome = connection.Backend() == DatabaseBackend::PostgreSQL
                  ? BackupPostgresConfiguration(connection, target)
                  : BackupSqliteDatabase(database, target);
    if (outcome.ok) {
        PruneBackups(folder, kDatabasePrefix, kDatabaseSuffix, keep);
    }
    return outcome;
}

namespace {
bool g_backupsEnabled = true;
}  // namespace

void SetBulkChangeBackupsEnabled(bool enabled) {
    g_backupsEnabled = enabled;
}

std::optional<QString> BackupRefusal(const QString& change) {
    if (!g_backupsEnabled) {
        return std::nullopt;
    }
    const BackupOutcome outcome =
        BackupConfiguration(DncConnection, BackupFolder(), BackupKeepCount());
    if (outcome.ok) {
        return std::nullopt;
    }
    return QStringLiteral(
               "%1: the configuration could not be backed up first, so nothing "
               "was changed.\n%2")
        .arg(change, outcome.error);
}

bool BackupBeforeBulkChange(const QString& change) {
    const std::optional<QString> refusal = BackupRefusal(change);
    if (refusal) {
        ShowMessage(*refusal, MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Backup"));
    }
    return !refusal;
}

bool KeepDncAdminBeforeReplace(const QString& localPath, QString* error) {
    const QFileInfo info(localPath);
    if (!info.exists()) {
        return true;
    }
    const QString folder = BackupFolder();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        if (error) {
            *error = QStringLiteral("The backups folder \"%1\" cannot be made").arg(folder);
        }
        return false;
    }
    // The folder the file stood in tells a server's file from the master's.
    const QString prefix = kIniPrefix + QLatin1Char('_') + info.absoluteDir().dirName();
    const QString target = NewBackupPath(folder, prefix, kIniSuffix);
    if (!CopyBytes(localPath, target, error)) {
        return false;
    }
    PruneBackups(folder, prefix, kIniSuffix, BackupKeepCount());
    return true;
}

QStringList ListBackups(const QString& folder) {
    QStringList names = NamesOf(folder, kDatabasePrefix, kDatabaseSuffix);
    std::reverse(names.begin(), names.end());
    return names;
}

void PruneBackups(const QString& folder, const QString& prefix, const QString& suffix, int keep) {
    const QStringList names = NamesOf(folder, prefix, suffix);
    const QDir dir(folder);
    for (qsizetype i = 0; i + keep < names.size(); ++i) {
        QFile::remove(dir.filePath(names.at(i)));
    }
}

RestoreOutcome RestoreBackup(const QString& databasePath, const QString& backupName,
                             const QString& folder, int keep) {
    RestoreOutcome outcome;
    const QString backup =
        QFileInfo(backupName).isAbsolute() ? backupName : QDir(folder).filePath(backupName);
    if (!QFileInfo(backup).isFile()) {
        outcome.error = QStringLiteral("There is no backup \"%1\"").arg(backup);
        return outcome;
    }
    if (!DatabaseConnection::IsSqliteFile(backup)) {
        outcome.error = QStringLiteral("\"%1\" is not a configuration backup").arg(backup);
        return outcome;
    }
    const QString part = databasePath + QStringLiteral(".restore");
    if (!CopyBytes(backup, part, &outcome.error)) {
        return outcome;
    }
    // The configuration as it is now, first: a restore can be undone by another restore.
    {
        DatabaseConnection current(QStringLiteral("KestrumRestoreCurrent"));
        BackupOutcome saved;
        if (current.Open(QStringLiteral("data source = ") + databasePath)) {
            saved = BackupConfiguration(current, folder, keep);
            current.Close();
        } else {
            saved.error = current.LastError();
        }
        if (!saved.ok) {
            QFile::remove(part);
            outcome.error = saved.error;
            return outcome;
        }
        outcome.savedCurrent = saved.path;
    }
    // Journal files of the old database must not be applied to the restored one.
    QFile::remove(databasePath + QStringLiteral("-journal"));
    std::error_code failed;
    std::filesystem::rename(QFile::encodeName(part).toStdString(),
                            QFile::encodeName(databasePath).toStdString(), failed);
    if (failed) {
        QFile::remove(part);
        outcome.error = QStringLiteral("\"%1\" could not be replaced: %2")
                            .arg(databasePath, QString::fromStdString(failed.message()));
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}
