#include "db/backend.h"

#include "base/inifile.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/redaction.h"
#include "db/dnc_database.h"

#include <QFileInfo>
#include <QSqlError>

namespace {

struct KeyedTable {
    const char* table;
    const char* key;
    bool generated;
};

// Tables with an integer key, which also gives their stored order.
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
    return DatabaseEngine::NamesServer(location);
}

QString InstallationDatabase(const QString& settingsFile) {
    // Read as written: user and database names keep their letter case.
    const QString uri =
        ReadIniValue(settingsFile, QStringLiteral("ADMIN"), QStringLiteral("DBURI"), QString())
            .trimmed();
    if (!uri.isEmpty()) {
        return uri;
    }
    const QString folder = ReadIniValue(settingsFile, QStringLiteral("ADMIN"),
                                        QStringLiteral("MDBPATH"), ProgramFolder());
    return NativePath(JoinPath(folder, QStringLiteral("DNC.mdb")));
}

bool OpenDatabaseAt(DatabaseConnection& connection, const QString& location, QString* error) {
    if (!IsDatabaseUri(location) && !QFileInfo(NativePath(location)).isFile()) {
        return Fail(error,
                    QStringLiteral("database \"%1\" not found").arg(ShownLocation(location)));
    }
    const QString opened = IsDatabaseUri(location) ? location.trimmed() : NativePath(location);
    if (!connection.OpenLocation(opened)) {
        return Fail(error,
                    QStringLiteral("database \"%1\" cannot be opened: %2")
                        .arg(ShownLocation(location), WithoutPasswords(connection.LastError())));
    }
    return true;
}

QString RowOrderColumn(const DatabaseEngine& engine, const QString& table) {
    if (const KeyedTable* keyed = FindKeyed(table)) {
        return QString::fromLatin1(keyed->key);
    }
    return engine.RowPositionColumn();
}

QString RowOrderColumn(const QString& table) {
    return RowOrderColumn(DncConnection.Engine(), table);
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

QString InsertReturning(const DatabaseEngine& engine, const QString& table) {
    return engine.InsertReturning(IdentityColumn(table));
}

bool IsUniqueViolation(const QSqlError& error) {
    return DncConnection.Engine().IsUniqueViolation(error);
}

std::optional<bool> TableExists(DatabaseConnection& connection, const QString& table,
                                QString* error) {
    return connection.Engine().TableExists(connection.Database(), table, error);
}

bool SetKeySequencesPastRows(DatabaseConnection& connection, QString* error) {
    if (!connection.IsOpen()) {
        return Fail(error, connection.LastError());
    }
    for (const KeyedTable& entry : kKeyedTables) {
        if (entry.generated &&
            !connection.Engine().SetKeyPastRows(connection.Database(), QLatin1String(entry.table),
                                                QLatin1String(entry.key), error)) {
            return false;
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
    QString why;
    const std::optional<qint64> last =
        connection.Engine().ReadKeyCounter(connection.Database(), table, key, &why);
    if (!last) {
        Fail(error, QStringLiteral("Reading the key counter of %1: ").arg(table) + why);
    }
    return last;
}

bool SetKeyCounter(DatabaseConnection& connection, const QString& table, qint64 last,
                   QString* error) {
    const QString key = IdentityColumn(table);
    if (key.isEmpty()) {
        return Fail(error, QStringLiteral("%1 has no generated key").arg(table));
    }
    QString why;
    return connection.Engine().SetKeyCounter(connection.Database(), table, key, last, &why) ||
           Fail(error, QStringLiteral("Setting the key counter of %1: ").arg(table) + why);
}
