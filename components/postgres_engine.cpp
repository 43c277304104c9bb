#include "components/postgres_engine.h"

#include <QFile>
#include <QLibrary>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>

#include <libpq-fe.h>

#include <type_traits>

namespace {

// The client library is loaded when a server database is first opened, not at every start:
// it brings some twenty libraries of its own (Kerberos, LDAP, TLS), and loading them is a
// good part of the start-up of a program that works on a DNC.mdb file. The server driver
// loads the same library.
struct ClientLibrary {
    decltype(&::PQconninfoParse) conninfoParse = nullptr;
    decltype(&::PQconninfoFree) conninfoFree = nullptr;
    decltype(&::PQfreemem) freemem = nullptr;
    decltype(&::PQstatus) status = nullptr;
    QString error;

    bool Loaded() const { return error.isEmpty(); }
};

const ClientLibrary& Client() {
    static const ClientLibrary client = [] {
        ClientLibrary loaded;
#ifdef Q_OS_WIN
        QLibrary library(QStringLiteral("libpq"));
#else
        QLibrary library(QStringLiteral("pq"), 5);
#endif
        if (!library.load()) {
            loaded.error = QStringLiteral("the server database client library cannot be loaded: ") +
                           library.errorString();
            return loaded;
        }
        const auto resolve = [&library, &loaded](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                library.resolve(name));
            if (!function) {
                loaded.error = QStringLiteral("the server database client library has no %1")
                                   .arg(QLatin1String(name));
            }
        };
        resolve(loaded.conninfoParse, "PQconninfoParse");
        resolve(loaded.conninfoFree, "PQconninfoFree");
        resolve(loaded.freemem, "PQfreemem");
        resolve(loaded.status, "PQstatus");
        return loaded;  // the library stays loaded for the program's life
    }();
    return client;
}

bool Fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

QString QuotedOption(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// SQLSTATE classes of a connection that is gone: connection exceptions, and the server
// shutting down or restarting.
bool IsConnectionState(const QString& state) {
    return state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
           state == QLatin1String("57P02") || state == QLatin1String("57P03");
}

bool ConnectionBad(const QSqlDatabase& db) {
    if (!db.driver()) {
        return false;
    }
    const QVariant handle = db.driver()->handle();
    // The driver names the handle by the struct behind libpq's typedef ("pg_conn*").
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 &&
                              qstrcmp(handle.typeName(), "pg_conn*") != 0)) {
        return false;
    }
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return !connection || (Client().Loaded() && Client().status(connection) == CONNECTION_BAD);
}

QString Text(const QSqlQuery& query) {
    const QSqlError error = query.lastError();
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text() : text;
}

}  // namespace

bool PostgresEngine::IsUri(const QString& location) {
    const QString text = location.trimmed();
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString PostgresEngine::Name() const {
    return QStringLiteral("PostgreSQL");
}

bool PostgresEngine::Open(const QString& connectionName, const QString& location, bool,
                          QString* error) const {
    // libpq reads the URI itself, so every form it accepts (several hosts, percent-encoded
    // parts, query parameters) means here what it means to the other PostgreSQL tools.
    char* parseError = nullptr;
    const ClientLibrary& client = Client();
    if (!client.Loaded()) {
        return Fail(error, client.error);
    }
    PQconninfoOption* options =
        client.conninfoParse(location.trimmed().toUtf8().constData(), &parseError);
    if (!options) {
        Fail(error, QStringLiteral("not a valid PostgreSQL URI: %1")
                        .arg(parseError ? QString::fromUtf8(parseError).trimmed()
                                        : QStringLiteral("out of memory")));
        client.freemem(parseError);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    QStringList extra;
    bool timeoutGiven = false;
    bool nameGiven = false;
    QString problem;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val) {
            continue;
        }
        const QString key = QString::fromUtf8(option->keyword);
        const QString value = QString::fromUtf8(option->val);
        if (key == QLatin1String("password")) {
            problem = QStringLiteral(
                "the URI holds a password; keep it in the PostgreSQL "
                "password file (~/.pgpass or PGPASSFILE) instead");
        } else if (key == QLatin1String("host")) {
            db.setHostName(value);  // the driver quotes these three itself
        } else if (key == QLatin1String("dbname")) {
            db.setDatabaseName(value);
        } else if (key == QLatin1String("user")) {
            db.setUserName(value);
        } else if (value.contains(QLatin1Char(';'))) {
            // The driver takes the other options as one text split at ';', quotes or not.
            problem = QStringLiteral("the parameter %1 holds a ';'").arg(key);
        } else {
            extra << key + QLatin1Char('=') + QuotedOption(value);
            timeoutGiven |= key == QLatin1String("connect_timeout");
            nameGiven |= key == QLatin1String("application_name");
        }
    }
    client.conninfoFree(options);
    if (!problem.isEmpty()) {
        return Fail(error, problem);
    }
    // An unreachable server must not hold the program for minutes.
    if (!timeoutGiven) {
        extra << QStringLiteral("connect_timeout=10");
    }
    // The server names each session's program: another administrator's Kestrum is seen so.
    if (!nameGiven) {
        extra << QStringLiteral("application_name=Kestrum");
    }
    db.setConnectOptions(extra.join(QLatin1Char(';')));
    if (!db.open()) {
        const QSqlError why = db.lastError();
        const QString text = why.databaseText().trimmed();
        return Fail(error, text.isEmpty() ? why.text() : text);
    }
    return true;
}

QString PostgresEngine::SchemaScript() const {
    QFile file(QStringLiteral(":/db/schema_pg.sql"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString PostgresEngine::OwnTablesScript() const {
    return OwnTablesOf(SchemaScript());
}

std::optional<bool> PostgresEngine::TableExists(const QSqlDatabase& db, const QString& table,
                                                QString* error) const {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"));
    query.addBindValue(table);
    if (!query.exec() || !query.next()) {
        Fail(error, Text(query));
        return std::nullopt;
    }
    return query.value(0).toBool();
}

std::optional<QStringList> PostgresEngine::TableNames(const QSqlDatabase& db,
                                                      QString* error) const {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                   "WHERE table_schema = current_schema()"))) {
        Fail(error, Text(query));
        return std::nullopt;
    }
    QStringList names;
    while (query.next()) {
        names << query.value(0).toString();
    }
    return names;
}

QString PostgresEngine::InsertReturning(const QString& keyColumn) const {
    return keyColumn.isEmpty() ? QString() : QStringLiteral(" RETURNING ") + keyColumn;
}

QString PostgresEngine::InsertsAsOne(const QStringList& inserts) const {
    if (inserts.size() < 2) {
        return QString();
    }
    // Data-modifying WITH clauses: all run, in one statement and one snapshot.
    QStringList clauses;
    for (qsizetype i = 0; i + 1 < inserts.size(); ++i) {
        clauses << QStringLiteral("w") + QString::number(i) + QStringLiteral(" AS (") +
                       inserts.at(i) + QLatin1Char(')');
    }
    return QStringLiteral("WITH ") + clauses.join(QStringLiteral(", ")) + QLatin1Char(' ') +
           inserts.last();
}

QString PostgresEngine::SnapshotIsolation() const {
    return QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
}

QString PostgresEngine::GeneratedKeyDefinition(const QString& column) const {
    return column + QStringLiteral(" BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
}

bool PostgresEngine::IsUniqueViolation(const QSqlError& error) const {
    return error.nativeErrorCode() == QLatin1String("23505");
}

bool PostgresEngine::IsLostConnection(const QSqlError& error, const QSqlDatabase& db) const {
    return IsConnectionState(error.nativeErrorCode()) || ConnectionBad(db);
}

bool PostgresEngine::IsConnectionBroken(const QSqlDatabase& db) const {
    return ConnectionBad(db);
}

bool PostgresEngine::IsAbortedTransaction(const QSqlError& error) const {
    return error.nativeErrorCode() == QLatin1String("25P02") ||
           error.databaseText().contains(QLatin1String("current transaction is aborted"));
}

QString PostgresEngine::ErrorDescription(const QSqlError& error) const {
    // The server's message without its severity word and the statement it quotes.
    QString text = error.databaseText().trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (text.startsWith(QLatin1String("ERROR:"))) {
        text = text.mid(6).trimmed();
    }
    return text;
}

std::optional<qint64> PostgresEngine::ReadKeyCounter(const QSqlDatabase& db, const QString& table,
                                                     const QString& key, QString* error) const {
    // The sequence's own row: after setval(n, false) nothing was handed out past n - 1.
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"));
    query.addBindValue(table);
    query.addBindValue(key);
    if (!query.exec() || !query.next()) {
        Fail(error, Text(query));
        return std::nullopt;
    }
    const QString sequence = query.value(0).toString();
    if (!query.exec(QStringLiteral("SELECT last_value, is_called FROM ") + sequence) ||
        !query.next()) {
        Fail(error, Text(query));
        return std::nullopt;
    }
    const qint64 last = query.value(0).toLongLong();
    return query.value(1).toBool() ? last : last - 1;
}

bool PostgresEngine::SetKeyCounter(const QSqlDatabase& db, const QString& table, const QString& key,
                                   qint64 last, QString* error) const {
    // setval(.., 1, false) hands out 1 next: the state of a sequence never used.
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), ?, ?)"));
    query.addBindValue(table);
    query.addBindValue(key);
    query.addBindValue(qMax<qint64>(last, 1));
    query.addBindValue(last > 0);
    return query.exec() || Fail(error, Text(query));
}

bool PostgresEngine::SetKeyPastRows(const QSqlDatabase& db, const QString& table,
                                    const QString& key, QString* error) const {
    // Past the highest key, or back at 1 for an empty table. The names come from the code.
    QSqlQuery query(db);
    const QString sql = QStringLiteral(
                            "SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                            "COALESCE(MAX(%2), 0) + 1, false) FROM %1")
                            .arg(table, key);
    return query.exec(sql) || Fail(error, Text(query));
}

std::optional<QStringList> PostgresEngine::OtherSessions(const QSqlDatabase& db,
                                                         QString* error) const {
    // Every session names its program (Open sets it). The user is known for any session; its
    // address and start only to those allowed to see them.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT usename, coalesce(host(client_addr), CASE WHEN client_port = -1 THEN "
            "'this computer' END), to_char(backend_start AT TIME ZONE 'UTC', "
            "'YYYY-MM-DD HH24:MI:SS\"Z\"') FROM pg_stat_activity WHERE datname = "
            "current_database() AND pid <> pg_backend_pid() AND application_name = 'Kestrum' "
            "ORDER BY backend_start"))) {
        Fail(error, Text(query));
        return std::nullopt;
    }
    QStringList sessions;
    while (query.next()) {
        QString who = query.value(0).toString();
        who += QStringLiteral(" from ") + (query.value(1).isNull()
                                               ? QStringLiteral("an unknown address")
                                               : query.value(1).toString());
        if (!query.value(2).isNull()) {
            who += QStringLiteral(", connected since ") + query.value(2).toString();
        }
        sessions << who;
    }
    return sessions;
}

bool PostgresEngine::BackupToFile(const QSqlDatabase&, const QString&, QString* error) const {
    return Fail(error, QStringLiteral("a server database is backed up table by table"));
}

bool PostgresEngine::RestoreFromFile(const QSqlDatabase&, const QString&, QString* error) const {
    return Fail(error, QStringLiteral("a server database is restored table by table"));
}
