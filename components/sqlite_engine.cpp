#include "components/sqlite_engine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

namespace {

// How long a statement, a backup or a restore waits for another program's lock.
constexpr int kBusyTimeoutMs = 5000;

bool Fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

QString ResourceText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

sqlite3* SqliteEngine::HandleOf(const QSqlDatabase& db) {
    if (!db.driver()) {
        return nullptr;
    }
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}

int SqliteEngine::CopyPages(sqlite3* to, sqlite3* from) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        return sqlite3_errcode(to);
    }
    const QDeadlineTimer deadline(kBusyTimeoutMs);
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && !deadline.hasExpired()) {
            sqlite3_sleep(20);
        } else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            break;
        }
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    const int finished = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finished : rc;
}

bool SqliteEngine::IsDatabaseFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

QString SqliteEngine::Name() const {
    return QStringLiteral("SQLite");
}

bool SqliteEngine::Open(const QString& connectionName, const QString& location, bool newFile,
                        QString* error) const {
    if (newFile) {
        if (location.isEmpty() || QFile::exists(location)) {
            return Fail(error, QStringLiteral("\"%1\" already exists").arg(location));
        }
    } else if (location.isEmpty() || !QFile::exists(location)) {
        return Fail(error, QStringLiteral("The database file \"%1\" does not exist").arg(location));
    } else if (!IsDatabaseFile(location)) {
        return Fail(
            error,
            QStringLiteral("\"%1\" is not a database file this program can open").arg(location));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    // The driver takes the name as a file name, never as a list of options.
    db.setDatabaseName(location);
    // Another program may be writing; wait a little instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        return Fail(error, db.lastError().text());
    }
    return true;
}

QString SqliteEngine::SchemaScript() const {
    return ResourceText(QStringLiteral(":/db/schema.sql"));
}

QString SqliteEngine::OwnTablesScript() const {
    return OwnTablesOf(SchemaScript());
}

std::optional<bool> SqliteEngine::TableExists(const QSqlDatabase& db, const QString& table,
                                              QString* error) const {
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("SELECT COUNT(*) > 0 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    query.addBindValue(table);
    if (!query.exec() || !query.next()) {
        Fail(error, query.lastError().text());
        return std::nullopt;
    }
    return query.value(0).toBool();
}

std::optional<QStringList> SqliteEngine::TableNames(const QSqlDatabase& db, QString* error) const {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                   "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"))) {
        Fail(error, query.lastError().text());
        return std::nullopt;
    }
    QStringList names;
    while (query.next()) {
        names << query.value(0).toString();
    }
    return names;
}

QString SqliteEngine::GeneratedKeyDefinition(const QString& column) const {
    return column + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
}

bool SqliteEngine::IsUniqueViolation(const QSqlError& error) const {
    // The extended codes for a unique index and a primary key.
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("2067") || code == QLatin1String("1555");
}

bool SqliteEngine::IsBusyCode(qint32 code) const {
    // SQLITE_BUSY and SQLITE_LOCKED, also inside their extended codes.
    const qint32 primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

std::optional<qint64> SqliteEngine::ReadKeyCounter(const QSqlDatabase& db, const QString& table,
                                                   const QString&, QString* error) const {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
    query.addBindValue(table);
    if (!query.exec()) {
        Fail(error, query.lastError().text());
        return std::nullopt;
    }
    return query.next() ? query.value(0).toLongLong() : 0;
}

bool SqliteEngine::SetKeyCounter(const QSqlDatabase& db, const QString& table, const QString&,
                                 qint64 last, QString* error) const {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"));
    query.addBindValue(table);
    if (!query.exec()) {
        return Fail(error, query.lastError().text());
    }
    query.prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"));
    query.addBindValue(table);
    query.addBindValue(last);
    return query.exec() || Fail(error, query.lastError().text());
}

bool SqliteEngine::BackupToFile(const QSqlDatabase& db, const QString& target,
                                QString* error) const {
    sqlite3* source = HandleOf(db);
    if (!source) {
        return Fail(error, QStringLiteral("the configuration is not an open database file"));
    }
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        rc = CopyPages(copy, source);
    }
    const QString why =
        copy ? QString::fromUtf8(sqlite3_errstr(rc)) : QStringLiteral("out of memory");
    sqlite3_close(copy);
    return rc == SQLITE_OK || Fail(error, why);
}

bool SqliteEngine::RestoreFromFile(const QSqlDatabase& db, const QString& source,
                                   QString* error) const {
    sqlite3* target = HandleOf(db);
    if (!target) {
        return Fail(error, QStringLiteral("the configuration is not an open database file"));
    }
    sqlite3* backup = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(source).constData(), &backup, SQLITE_OPEN_READONLY,
                             nullptr);
    if (rc == SQLITE_OK) {
        rc = CopyPages(target, backup);
    }
    const QString why =
        backup ? QString::fromUtf8(sqlite3_errstr(rc)) : QStringLiteral("out of memory");
    sqlite3_close(backup);
    return rc == SQLITE_OK || Fail(error, why);
}
