#include "components/database_file.h"

#include "base/atomic_file.h"
#include "base/database_use_lock.h"
#include "components/sqlite_engine.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString MessageOf(sqlite3* handle) {
    return handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("out of memory");
}

QString Locked(const QString& what) {
    return QStringLiteral("%1 is locked by another program (waited %2 s)")
        .arg(what)
        .arg(kDatabaseWaitMs / 1000);
}

quint32 BigEndian(const unsigned char* bytes, int size) {
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

#ifndef Q_OS_WIN
// Whether another process holds a lock on any byte of [start, start + length) of the file.
bool RangeLockedByOther(const QString& path, off_t start, off_t length) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    const bool locked = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}
#endif

}  // namespace

void DatabaseFileCloser::operator()(sqlite3* handle) const {
    sqlite3_close_v2(handle);
}

DatabaseFileHandle OpenDatabaseFile(const QString& path, QString* error) {
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    DatabaseFileHandle handle(raw);
    if (rc != SQLITE_OK) {
        *error = QStringLiteral("\"%1\" cannot be opened: %2").arg(path, MessageOf(raw));
        return nullptr;
    }
    sqlite3_busy_timeout(raw, kDatabaseWaitMs);
    return handle;
}

bool WriteDatabaseFileCopy(const DatabaseFileHandle& source, const QString& target,
                           QString* error) {
    // Written under another name first, so a half-made copy is never taken for one.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(part).constData(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    DatabaseFileHandle copy(raw);
    if (rc == SQLITE_OK) {
        rc = SqliteEngine::CopyPages(raw, source.get());
    }
    const QString why = rc == SQLITE_BUSY || rc == SQLITE_LOCKED
                            ? Locked(QStringLiteral("The configuration"))
                            : MessageOf(raw);
    copy.reset();
    QFile::remove(part + QStringLiteral("-journal"));
    if (rc != SQLITE_OK) {
        QFile::remove(part);
        *error = QStringLiteral("\"%1\" could not be written: %2").arg(target, why);
        return false;
    }
    // Never over a file of the same name (another Kestrum's backup of the same second).
    if (!RenameWithoutReplacing(part, target, error)) {
        QFile::remove(part);
        return false;
    }
    return true;
}

bool CopyDatabaseFileOver(const DatabaseFileHandle& source, const DatabaseFileHandle& destination,
                          QString* error) {
    const int rc = SqliteEngine::CopyPages(destination.get(), source.get());
    if (rc == SQLITE_OK) {
        return true;
    }
    *error = rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? Locked(QStringLiteral("The database"))
                                                      : MessageOf(destination.get());
    return false;
}

DatabaseFileHandle LoadDatabaseFileIntoMemory(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile()) {
        *error = QStringLiteral("\"%1\" is not a regular file").arg(path);
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString());
        return nullptr;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString());
        return nullptr;
    }
    static const char kHeader[] = "SQLite format 3";  // with its closing zero: 16 bytes
    if (bytes.size() < 16 || std::memcmp(bytes.constData(), kHeader, 16) != 0) {
        *error = QStringLiteral("\"%1\" is not an SQLite database").arg(path);
        return nullptr;
    }
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.constData());
    const quint32 storedPageSize = bytes.size() >= 18 ? BigEndian(header + 16, 2) : 0;
    const qint64 pageSize = storedPageSize == 1 ? 65536 : storedPageSize;
    // The page count in the header holds when the change counter matches its "valid for".
    const bool countValid =
        bytes.size() >= 100 && BigEndian(header + 24, 4) == BigEndian(header + 92, 4);
    const qint64 pages = countValid ? BigEndian(header + 28, 4) : 0;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || bytes.size() < pageSize ||
        bytes.size() % pageSize != 0 || bytes.size() < pages * pageSize) {
        *error = QStringLiteral("\"%1\" is cut short (%2 bytes)").arg(path).arg(bytes.size());
        return nullptr;
    }
    // A file last written in WAL mode reads in memory as a rollback file: the file itself
    // holds every committed page (a backup has no -wal).
    if (header[18] == 2 && header[19] == 2) {
        bytes[18] = 1;
        bytes[19] = 1;
    }
    sqlite3* raw = nullptr;
    DatabaseFileHandle memory;
    if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
        SQLITE_OK) {
        memory.reset(raw);
        auto* image = static_cast<unsigned char*>(sqlite3_malloc64(quint64(bytes.size())));
        if (image) {
            std::memcpy(image, bytes.constData(), size_t(bytes.size()));
            // FREEONCLOSE hands the image to SQLite, failed or not.
            if (sqlite3_deserialize(
                    raw, "main", image, bytes.size(), bytes.size(),
                    SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) == SQLITE_OK) {
                return memory;
            }
        }
    }
    *error = QStringLiteral("\"%1\" cannot be read: %2").arg(path, MessageOf(raw));
    return nullptr;
}

std::optional<QString> IntegrityFault(const DatabaseFileHandle& handle, bool* busy) {
    sqlite3* database = handle.get();
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(database, "PRAGMA integrity_check(5)", -1, &statement, nullptr);
    QStringList problems;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            problems << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
    }
    const QString failure = MessageOf(database);
    sqlite3_finalize(statement);
    if (busy) {
        *busy = rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
    }
    if (rc != SQLITE_DONE) {
        return failure;
    }
    if (problems != QStringList{QStringLiteral("ok")}) {
        return problems.join(QStringLiteral("; "));
    }
    return std::nullopt;
}

std::optional<QString> SchemaFault(const DatabaseFileHandle& handle,
                                   const QList<QPair<QString, QStringList>>& schema, bool* busy) {
    if (std::optional<QString> damage = IntegrityFault(handle, busy)) {
        return QStringLiteral("it is damaged: %1").arg(*damage);
    }
    sqlite3* database = handle.get();
    for (const auto& [table, tableColumns] : schema) {
        sqlite3_stmt* statement = nullptr;
        // Names compare without regard to case, as SQLite's do.
        const QByteArray sql =
            "SELECT lower(name) FROM pragma_table_info('" + table.toUtf8() + "')";
        QSet<QString> columns;
        if (sqlite3_prepare_v2(database, sql.constData(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                columns.insert(QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
            }
        }
        sqlite3_finalize(statement);
        if (columns.isEmpty()) {
            return QStringLiteral("it is not a Kestrum configuration: it has no table %1")
                .arg(table);
        }
        for (const QString& column : tableColumns) {
            if (!columns.contains(column.toLower())) {
                return QStringLiteral(
                           "it is not a Kestrum configuration: table %1 has no column %2")
                    .arg(table, column);
            }
        }
    }
    return std::nullopt;
}

bool OtherProgramHoldsDatabaseFile(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;  // Windows does not let a file another program has open be replaced
#else
    // SQLite's locks of a rollback database sit on 512 bytes from 1 GiB; a connection in
    // WAL mode holds the bytes from 120 of the -shm file while it is open.
    constexpr off_t kPendingByte = 0x40000000;
    const QString shm = path + QStringLiteral("-shm");
    return RangeLockedByOther(path, kPendingByte, 512) ||
           (QFileInfo::exists(shm) && RangeLockedByOther(shm, 120, 16));
#endif
}
