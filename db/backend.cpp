#include "db/backend.h"

#include "base/paths.h"
#include "base/redaction.h"
#include "db/dnc_database.h"
#include "db/schema_names.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

struct KeyedTable {
    const char* table;
    const char* key;
    bool generated;
};

// Tables with an integer key; in SQLite that key is the rowid itself.
constexpr KeyedTable kKeyedTables[] = {
    {"t_dnc_servers", "dnc_server_id", true},    {"t_dnc_server_clients", "client_id", true},
    {"t_shopterm_clients", "shopterm_id", true}, {"t_client_directory", "dir_id", true},
    {"t_protocol", "protocol_id", false},
};

const KeyedTable* FindKeyed(const QString& table) {
    for (const KeyedTable& entry : kKeyedTables) {
        if (table.compare(QLatin1String(entry.table), Qt::CaseInsensitive) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

bool Fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

}  // namespace

bool IsDatabaseUri(const QString& location) {
    return DatabaseConnection::IsServerUri(location);
}

std::optional<DatabaseBackend> OpenDatabaseAt(DatabaseConnection& connection,
                                              const QString& location, QString* error) {
    if (!IsDatabaseUri(location) && !QFileInfo(NativePath(location)).isFile()) {
        Fail(error, QStringLiteral("database \"%1\" not found").arg(ShownLocation(location)));
        return std::nullopt;
    }
    if (!connection.OpenLocation(location)) {
        Fail(error, QStringLiteral("database \"%1\" cannot be opened: %2")
                        .arg(ShownLocation(location), WithoutPasswords(connection.LastError())));
        return std::nullopt;
    }
    return connection.Backend();
}

QString EngineName(DatabaseBackend backend) {
    return backend == DatabaseBackend::PostgreSQL ? QStringLiteral("PostgreSQL")
                                                  : QStringLiteral("SQLite");
}

QString RowOrderColumn(DatabaseBackend backend, const QString& table) {
    if (const KeyedTable* keyed = FindKeyed(table)) {
        return QString::fromLatin1(keyed->key);
    }
    return backend == DatabaseBackend::PostgreSQL ? QStringLiteral("ctid")
                                                  : QStringLiteral("rowid");
}

QString RowOrderColumn(const QString& table) {
    return RowOrderColumn(DncConnection.Backend(), table);
}

SqlValue RowPositionValue(const QVariant& position) {
    // A server row position reads as text ("(0,7)"); keys and rowids are numbers.
    if (position.typeId() == QMetaType::QString) {
        return SqlValue::Text(position.toString());
    }
    return SqlValue::Number(position.toLongLong());
}

QString IdentityColumn(const QString& table) {
    const KeyedTable* keyed = FindKeyed(table);
    return keyed && keyed->generated ? QString::fromLatin1(keyed->key) : QString();
}

QString InsertReturning(DatabaseBackend backend, const QString& table) {
    const QString key = IdentityColumn(table);
    if (backend != DatabaseBackend::PostgreSQL || key.isEmpty()) {
        return QString();
    }
    return QStringLiteral(" RETURNING ") + key;
}

QString SnapshotIsolation(DatabaseBackend backend) {
    return backend == DatabaseBackend::PostgreSQL
               ? QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")
               : QString();
}

QString RowLockClause(DatabaseBackend backend) {
    return backend == DatabaseBackend::PostgreSQL ? QStringLiteral(" FOR UPDATE") : QString();
}

bool IsUniqueViolation(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    // 23505 on the server; SQLite's extended codes for a unique index and a primary key.
    return code == QLatin1String("23505") || code == QLatin1String("2067") ||
           code == QLatin1String("1555");
}

std::optional<bool> TableExists(DatabaseConnection& connection, const QString& table,
                                QString* error) {
    QSqlQuery query(connection.Database());
    query.prepare(connection.Backend() == DatabaseBackend::PostgreSQL
                      ? QStringLiteral("SELECT to_regclass(?) IS NOT NULL")
                      : QStringLiteral("SELECT COUNT(*) > 0 FROM sqlite_master WHERE "
                                       "type = 'table' AND name = ?"));
    query.addBindValue(table);
    if (!query.exec() || !query.next()) {
        Fail(error, query.lastError().text());
        return std::nullopt;
    }
    return query.value(0).toBool();
}

QString SchemaScriptFor(DatabaseBackend backend) {
    QFile file(backend == DatabaseBackend::PostgreSQL ? QStringLiteral(":/db/schema_pg.sql")
                                                      : QStringLiteral(":/db/schema.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

bool SetKeySequencesPastRows(DatabaseConnection& connection, QString* error) {
    if (connection.Backend() != DatabaseBackend::PostgreSQL) {
        return true;
    }
    if (!connection.IsOpen()) {
        return Fail(error, connection.LastError());
    }
    QSqlQuery query(connection.Database());
    for (const KeyedTable& entry : kKeyedTables) {
        if (!entry.generated) {
            continue;
        }
        // Past the highest key, or back at 1 for an empty table.
        const QString sql = QStringLiteral(
                                "SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                                "COALESCE(MAX(%2), 0) + 1, false) FROM %1")
                                .arg(QLatin1String(entry.table), QLatin1String(entry.key));
        if (!query.exec(sql)) {
            return Fail(error, query.lastError().text());
        }
    }
    return true;
}

std::optional<qint64> ReadKeyCounter(DatabaseConnection& connection, const QString& table,
                                     QString* error) {
    const QString key = IdentityColumn(table);
    if (key.isEmpty()) {
        Fail(error, QStringLiteral("%1 has no generated key").arg(table));
        return std::nullopt;
    }
    const QString what = QStringLiteral("Reading the key counter of %1: ").arg(table);
    QSqlQuery query(connection.Database());
    if (connection.Backend() == DatabaseBackend::PostgreSQL) {
        // The sequence's own row: after setval(n, false) nothing was handed out past n - 1.
        query.prepare(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"));
        query.addBindValue(table);
        query.addBindValue(key);
        if (!query.exec() || !query.next()) {
            Fail(error, what + query.lastError().text());
            return std::nullopt;
        }
        const QString sequence = query.value(0).toString();
        if (!query.exec(QStringLiteral("SELECT last_value, is_called FROM ") + sequence) ||
            !query.next()) {
            Fail(error, what + query.lastError().text());
            return std::nullopt;
        }
        const qint64 last = query.value(0).toLongLong();
        return query.value(1).toBool() ? last : last - 1;
    }
    query.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
    query.addBindValue(table);
    if (!query.exec()) {
        Fail(error, what + query.lastError().text());
        return std::nullopt;
    }
    return query.next() ? query.value(0).toLongLong() : 0;
}

bool SetKeyCounter(DatabaseConnection& connection, const QString& table, qint64 last,
                   QString* error) {
    const QString key = IdentityColumn(table);
    if (key.isEmpty()) {
        return Fail(error, QStringLiteral("%1 has no generated key").arg(table));
    }
    const QString what = QStringLiteral("Setting the key counter of %1: ").arg(table);
    QSqlQuery query(connection.Database());
    if (connection.Backend() == DatabaseBackend::PostgreSQL) {
        // setval(.., 1, false) hands out 1 next: the state of a sequence never used.
        query.prepare(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), ?, ?)"));
        query.addBindValue(table);
        query.addBindValue(key);
        query.addBindValue(qMax<qint64>(last, 1));
        query.addBindValue(last > 0);
        return query.exec() || Fail(error, what + query.lastError().text());
    }
    query.prepare(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"));
    query.addBindValue(table);
    if (!query.exec()) {
        return Fail(error, what + query.lastError().text());
    }
    query.prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"));
    query.addBindValue(table);
    query.addBindValue(last);
    return query.exec() || Fail(error, what + query.lastError().text());
}

QString GeneratedKeyDefinition(DatabaseBackend backend, const QString& column) {
    return backend == DatabaseBackend::PostgreSQL
               ? column + QStringLiteral(" BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
               : column + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
}
