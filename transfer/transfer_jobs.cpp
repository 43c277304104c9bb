#include "transfer/transfer_jobs.h"

#include "db/backend.h"
#include "db/new_installation.h"
#include "db/schema_names.h"
#include "transfer/access_file.h"
#include "transfer/access_header.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

#include <memory>

namespace {

QString UniqueName(const QString& role) {
    return QStringLiteral("transfer-%1-%2").arg(role, QUuid::createUuid().toString(QUuid::Id128));
}

// A new database file is built as ".NAME.ID.new" beside the target, while ".NAME.ID.new.lock"
// says that a running copy owns it.
const QString kLockSuffix = QStringLiteral(".lock");

void RemoveDatabaseFile(const QString& path) {
    for (const char* side : {"", "-journal", "-wal", "-shm"}) {
        QFile::remove(path + QLatin1String(side));
    }
}

// A lock that names no process: its owner died between creating it and writing its
// process id, which a live owner does at once. Taken over once it is older than that.
bool TakeOverEmptyLock(QLockFile& owner, const QString& lockPath) {
    qint64 pid = 0;
    QString host;
    QString program;
    const QFileInfo lock(lockPath);
    if (owner.getLockInfo(&pid, &host, &program) || !lock.exists() ||
        lock.lastModified().secsTo(QDateTime::currentDateTime()) < 5) {
        return false;
    }
    return owner.removeStaleLockFile() && owner.tryLock(0);
}

// A copy killed on the way (power cut, kill -9) leaves its file, journal and lock behind,
// or a part of them. Any run in the folder removes those whose owner is gone: a lock whose
// process no longer runs is taken over; files without a lock never had a live owner, since
// the lock comes first and goes last.
void RemoveLeftovers(const QDir& folder) {
    static const QRegularExpression leftover(
        QStringLiteral("^(\\..+\\.[0-9a-f]{32}\\.new)(-journal|-wal|-shm|\\.lock)?$"));
    QSet<QString> owned;
    const QStringList names =
        folder.entryList({QStringLiteral(".*.new*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = leftover.match(name);
        if (match.hasMatch()) {
            owned.insert(folder.filePath(match.captured(1)));
        }
    }
    for (const QString& path : std::as_const(owned)) {
        QLockFile owner(path + kLockSuffix);
        // Stale only when its process is gone: a long copy's lock grows old, it stays live.
        owner.setStaleLockTime(0);
        if (!owner.tryLock(0) && !TakeOverEmptyLock(owner, path + kLockSuffix)) {
            continue;  // its copy is still running
        }
        RemoveDatabaseFile(path);
        owner.unlock();
    }
}

// The database a copy writes into. A new database file is built under a temporary name beside
// the target and moved into place only when the copy succeeded, so a failed copy leaves
// nothing behind and an existing file is never replaced.
class TargetDatabase {
public:
    enum class ExistingFile { Refuse, AcceptEmpty };

    TargetDatabase() : connection_(UniqueName(QStringLiteral("target"))) {}
    ~TargetDatabase() {
        connection_.Close();
        if (!temporary_.isEmpty()) {
            RemoveDatabaseFile(temporary_);
        }
    }
    TargetDatabase(const TargetDatabase&) = delete;
    TargetDatabase& operator=(const TargetDatabase&) = delete;

    bool Open(const QString& target, ExistingFile existing, QString* error) {
        target_ = target;
        if (IsDatabaseUri(target)) {
            // The schema is made in a new server database by kestrum-newinstall.
            return OpenConnection(target, error);
        }
        const QFileInfo info(target);
        if (info.exists() || info.isSymLink()) {
            if (existing == ExistingFile::Refuse || !info.isFile()) {
                *error = QStringLiteral("\"%1\" exists; it is never replaced").arg(target);
                return false;
            }
            return OpenConnection(target, error);
        }
        if (!info.absoluteDir().exists()) {
            *error = QStringLiteral("The folder of \"%1\" does not exist").arg(target);
            return false;
        }
        RemoveLeftovers(info.absoluteDir());
        const QString temporary =
            info.absoluteDir().filePath(QStringLiteral(".%1.%2.new")
                                            .arg(info.fileName())
                                            .arg(QUuid::createUuid().toString(QUuid::Id128)));
        owner_ = std::make_unique<QLockFile>(temporary + kLockSuffix);
        if (!owner_->tryLock(0)) {
            *error = QStringLiteral("\"%1\" cannot be created: the folder cannot be written")
                         .arg(target);
            return false;
        }
        temporary_ = temporary;
        return CreateDatabaseAt(temporary_, error) && OpenConnection(temporary_, error);
    }

    DatabaseConnection& Connection() { return connection_; }

    // After a successful copy: a new file takes the target's name.
    bool Keep(QString* error) {
        connection_.Close();
        if (temporary_.isEmpty()) {
            return true;
        }
        // QFile::rename never replaces a file that appeared meanwhile.
        if (!QFile::rename(temporary_, target_)) {
            *error = QStringLiteral(
                         "\"%1\" could not be created (it exists now, or the folder "
                         "cannot be written)")
                         .arg(target_);
            return false;
        }
        temporary_.clear();
        return true;
    }

private:
    bool OpenConnection(const QString& database, QString* error) {
        return OpenDatabaseAt(connection_, database, error);
    }

    QString target_;
    QString temporary_;
    // Held while the temporary file exists (released after it, members go in reverse).
    std::unique_ptr<QLockFile> owner_;
    DatabaseConnection connection_;
};

CopyOutcome Failed(const QString& error) {
    CopyOutcome outcome;
    outcome.error = error;
    return outcome;
}

CopyOutcome CopyInto(const SourceConfiguration& source, const QString& target,
                     TargetDatabase::ExistingFile existing) {
    TargetDatabase database;
    QString error;
    if (!database.Open(target, existing, &error)) {
        return Failed(error);
    }
    CopyOutcome outcome = CopyConfiguration(source, database.Connection());
    if (outcome.ok && !database.Keep(&error)) {
        return Failed(error);
    }
    return outcome;
}

}  // namespace

bool ReadAccessConfiguration(const QString& path, SourceConfiguration* source, QString* error) {
    AccessFile file;
    if (!file.Open(path, error)) {
        return false;
    }
    SourceConfiguration result;
    for (const QString& name : file.TableNames()) {
        AccessTable table;
        // Tables Kestrum does not know are only named (as skipped): their rows are not read,
        // and one that cannot be read does not stop the import.
        const bool known = SchemaTableName(name).has_value();
        if (!file.ReadTable(name, known, &table, error)) {
            if (known) {
                return false;
            }
            table.name = name;
        }
        SourceTable read;
        read.name = table.name;
        for (const AccessColumn& column : table.columns) {
            read.columns << column.name;
        }
        read.rows = std::move(table.rows);
        read.lastKey = table.lastAutoNumber;
        result.tables << read;
    }
    *source = std::move(result);
    return true;
}

CopyOutcome ImportAccessFile(const QString& accessPath, const QString& target) {
    // The target is checked first: a refusal must not wait for the whole file to be read.
    if (!IsDatabaseUri(target) && (QFileInfo::exists(target) || QFileInfo(target).isSymLink())) {
        return Failed(QStringLiteral("\"%1\" exists; it is never replaced").arg(target));
    }
    SourceConfiguration source;
    QString error;
    if (!ReadAccessConfiguration(accessPath, &source, &error)) {
        return Failed(error);
    }
    return CopyInto(source, target, TargetDatabase::ExistingFile::Refuse);
}

CopyOutcome CopyDatabase(const QString& from, const QString& to) {
    if (!IsDatabaseUri(from) && !IsDatabaseUri(to) && QFileInfo(from).exists() &&
        QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath()) {
        return Failed(QStringLiteral("The source and the target are the same file"));
    }
    if (!IsDatabaseUri(from) && IsAccessFile(from)) {
        return Failed(QStringLiteral("\"%1\" is a Microsoft Access database; kestrum-import "
                                     "brings it over")
                          .arg(from));
    }
    SourceConfiguration source;
    {
        DatabaseConnection connection(UniqueName(QStringLiteral("source")));
        QString error;
        if (!OpenDatabaseAt(connection, from, &error)) {
            return Failed(error);
        }
        if (!ReadDatabaseConfiguration(connection, &source, &error)) {
            return Failed(error);
        }
    }
    return CopyInto(source, to, TargetDatabase::ExistingFile::AcceptEmpty);
}
