#include "transfer/backup.h"

#include "base/app_state.h"
#include "base/atomic_file.h"
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
#include <QUuid>

#include <filesystem>
#include <system_error>

namespace {

QString SettingsFile() {
    return SettingsFileName.isEmpty() ? JoinPath(ProgramFolder(), ProgramTitle() + ".ini")
                                      : SettingsFileName;
}

QString OpenDatabasePath() {
    // The database open now, else the one the settings name. A server database has no
    // folder: its backups go beside the program.
    QString location = DncConnection.IsOpen() ? DncConnection.Location() : QString();
    if (location.isEmpty()) {
        location = DatabaseConnection::DataSourceOf(DncConnectionString);
    }
    return location.isEmpty() || IsDatabaseUri(location) ? QString() : NativePath(location);
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

QString BackupFolder(const QString& databasePath) {
    const QString configured = ReadIniValue(SettingsFile(), QStringLiteral("BACKUP"),
                                            QStringLiteral("BACKUPPATH"), QString())
                                   .trimmed();
    if (!configured.isEmpty()) {
        return NativePath(configured);
    }
    // A server database has no folder: its backups go beside the program.
    const QString database = IsDatabaseUri(databasePath) ? QString()
                             : databasePath.isEmpty()    ? OpenDatabasePath()
                                                         : databasePath;
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

BackupOutcome BackupDatabaseFile(const QSqlDatabase& database, const QString& target) {
    BackupOutcome outcome;
    // Written under another name first, so a half-made backup is never taken for one.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    QString why;
    if (!DatabaseEngine::For(database.databaseName())->BackupToFile(database, part, &why)) {
        QFile::remove(part);
        outcome.error = QStringLiteral("\"%1\" could not be written: %2").arg(target, why);
        return outcome;
    }
    // Never over a file of the same name (another Kestrum's backup of the same second).
    if (!RenameWithoutReplacing(part, target, &outcome.error)) {
        QFile::remove(part);
        return outcome;
    }
    outcome.ok = true;
    outcome.path = target;
    return outcome;
}

BackupOutcome BackupServerConfiguration(DatabaseConnection& connection, const QString& target) {
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
        copied = OpenDatabaseAt(writer, part, &error);
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
    const QString target = NewBackupPath(folder, kDatabaseBackupPrefix, kDatabaseBackupSuffix);
    const QSqlDatabase database = connection.Database();
    outcome = connection.Engine().HasFileBackup() ? BackupDatabaseFile(database, target)
                                                  : BackupServerConfiguration(connection, target);
    if (outcome.ok && keep > 0) {
        PruneBackups(folder, kDatabaseBackupPrefix, kDatabaseBackupSuffix, keep,
                     {QFileInfo(outcome.path).fileName()});
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
    const QString prefix = DncAdminCopyPrefix(info.absoluteDir().dirName());
    const QString target = NewBackupPath(folder, prefix, kDncAdminCopySuffix);
    if (!CopyBytes(localPath, target, error)) {
        return false;
    }
    PruneBackups(folder, prefix, kDncAdminCopySuffix, BackupKeepCount(),
                 {QFileInfo(target).fileName()});
    return true;
}

std::optional<QStringList> ReadBackupList(const QString& folder, QString* error) {
    const std::filesystem::path path(QFile::encodeName(folder).toStdString());
    std::error_code failed;
    const std::filesystem::file_status status = std::filesystem::status(path, failed);
    if (status.type() == std::filesystem::file_type::not_found) {
        return QStringList();  // no backup made yet
    }
    if (!failed && status.type() != std::filesystem::file_type::directory) {
        *error = QStringLiteral("the backups folder \"%1\" is not a folder").arg(folder);
        return std::nullopt;
    }
    // Opening it tells a folder that cannot be read from an empty one.
    if (!failed) {
        std::filesystem::directory_iterator opened(path, failed);
    }
    if (failed) {
        *error = QStringLiteral("the backups folder \"%1\" cannot be read: %2")
                     .arg(folder, QString::fromLocal8Bit(failed.message().c_str()));
        return std::nullopt;
    }
    QStringList names;
    for (const BackupName& name :
         BackupFilesOf(folder, kDatabaseBackupPrefix, kDatabaseBackupSuffix)) {
        names.prepend(name.FileName());
    }
    return names;
}

QStringList ListBackups(const QString& folder) {
    QString error;
    return ReadBackupList(folder, &error).value_or(QStringList());
}
