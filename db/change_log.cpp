#include "db/change_log.h"

#include "db/change_log_text.h"

#include "base/app_state.h"
#include "base/os_user.h"
#include "db/backend.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "db/schema_names.h"
#include "db/statement_count.h"
#include "db/transaction.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>
#include <utility>

namespace {

using namespace change_log_text;

bool g_enabled = true;
std::function<QDateTime()> g_timeSource;

struct Concern {
    std::optional<qint32> serverId;
    QString serverName;
    std::optional<qint32> clientId;
    QString clientName;
};

// Inside a transaction the records wait for its commit and go in together, and the client a
// row concerns is read once: a client added writes eight rows of one client.
struct TransactionState {
    int depth = 0;
    bool spoiled = false;
    QList<QVariantList> pending;
    QHash<qint32, Concern> concerns;
    QHash<qint32, QString> serverNames;  // told by the writer, so no read is needed
};
std::map<const DatabaseConnection*, TransactionState> g_transactions;

// Records per statement: few round trips, and far below either engine's limit of values.
constexpr qsizetype kRecordsPerInsert = 64;
constexpr int kRecordColumns = 12;

const QString kServers = QStringLiteral("t_dnc_servers");
const QString kClients = QStringLiteral("t_dnc_server_clients");

// A prepared query of the connection, given back on every path.
class Lease {
public:
    Lease(DatabaseConnection& connection, const QString& sql) : connection_(connection), sql_(sql) {
        prepared_ = connection_.TakePrepared(sql_, &error_);
    }
    // A statement that failed is dropped, not kept: it may stand on a table that a rolled
    // back transaction had made.
    ~Lease() {
        if (!failed_) {
            connection_.GiveBack(sql_, std::move(prepared_));
        }
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    bool Prepared() const { return prepared_.query != nullptr; }
    bool Run(const QList<QVariant>& values) {
        if (!prepared_.query) {
            return false;
        }
        for (qsizetype i = 0; i < values.size(); ++i) {
            prepared_.query->bindValue(int(i), values.at(i));
        }
        CountStatementSent();
        if (!prepared_.query->exec()) {
            error_ = prepared_.query->lastError();
            failed_ = true;
            return false;
        }
        return true;
    }
    QSqlQuery& Query() { return *prepared_.query; }
    QSqlError Error() const { return error_; }

private:
    DatabaseConnection& connection_;
    QString sql_;
    DatabaseConnection::Prepared prepared_;
    QSqlError error_;
    bool failed_ = false;
};

// Writes the records, as many to a statement as may go.
bool WriteRecords(DatabaseConnection& connection, const QList<QVariantList>& records,
                  QSqlError* error) {
    for (qsizetype first = 0; first < records.size(); first += kRecordsPerInsert) {
        const qsizetype n = qMin(kRecordsPerInsert, records.size() - first);
        QList<QVariant> values;
        values.reserve(n * kRecordColumns);
        for (qsizetype i = first; i < first + n; ++i) {
            values << records.at(i);
        }
        Lease lease(connection, n == 1 ? kInsertRecord : InsertRecordsText(n));
        if (!lease.Run(values)) {
            *error = lease.Error();
            return false;
        }
    }
    return true;
}

// Fills the transaction's known concerns with those of the clients, in one statement.
bool LoadConcerns(DatabaseConnection& connection, QHash<qint32, Concern>& known,
                  const QList<qint32>& clients, QSqlError* error) {
    QList<QVariant> missing;
    for (const qint32 id : clients) {
        if (!known.contains(id) && !missing.contains(QVariant(id))) {
            missing << id;
        }
    }
    if (missing.size() < 2) {
        return true;  // one is read as before, when its record is made
    }
    Lease lease(connection, kClientConcernMany.arg(Marks(missing.size())));
    if (!lease.Run(missing)) {
        *error = lease.Error();
        return false;
    }
    for (const QVariant& id : std::as_const(missing)) {
        known.insert(id.toInt(), Concern{std::nullopt, QString(), id.toInt(), QString()});
    }
    while (lease.Query().next()) {
        const qint32 id = lease.Query().value(0).toInt();
        Concern& concern = known[id];
        concern.clientName = lease.Query().value(1).toString();
        concern.serverId = IdOf(lease.Query().value(2));
        concern.serverName = lease.Query().value(3).toString();
    }
    return true;
}

struct OldRow {
    Concern concern;
    QVariant key;
    QList<QVariant> values;
    qsizetype write = 0;  // which of the write's keys found the row
};

struct CoreResult {
    std::optional<CommandDone> done;
    bool ranAndFailed = false;  // the write itself failed (its caller reports)
    QSqlError error;            // the log's own failure
};

QString NowText() {
    const QDateTime now = g_timeSource ? g_timeSource() : QDateTime::currentDateTimeUtc();
    return now.toUTC().toString(Qt::ISODateWithMs);
}

QString ComputerName() {
    return LocalComputerName.isEmpty() ? GetLocalComputerName().toUpper() : LocalComputerName;
}

// Prepares the record's statement; an older database gets its log table first.
bool RecordStatementReady(DatabaseConnection& connection, QSqlError* error) {
    // A database without the log gets it first: a failed prepare would end a server
    // transaction. CREATE TABLE is part of the transaction on both backends.
    QString why;
    if (!connection.HasPrepared(kInsertRecord) && !EnsureChangeLogTable(connection, &why)) {
        *error = QSqlError(why, QString(), QSqlError::StatementError);
        return false;
    }
    Lease lease(connection, kInsertRecord);
    if (!lease.Prepared()) {
        *error = lease.Error();
        return false;
    }
    return true;
}

CoreResult Core(DatabaseConnection& connection, const TableWrite& write,
                const std::function<std::optional<CommandDone>()>& run) {
    CoreResult result;
    if (!RecordStatementReady(connection, &result.error)) {
        return result;
    }
    const TableRole role = RoleOf(write.table);
    const QStringList columns =
        write.kind == TableWrite::Kind::Delete ? SchemaColumns(write.table) : write.columns;

    QList<OldRow> before;
    if (write.kind != TableWrite::Kind::Insert) {
        QList<QVariant> keys;
        if (ManyKeys(write)) {
            for (const SqlValue& key : write.whereValues) {
                keys << key.bound();
            }
        } else {
            keys << write.whereValue.bound();
        }
        Lease lease(connection, OldRowsText(write, role, columns));
        if (!lease.Run(keys)) {
            result.error = lease.Error();
            return result;
        }
        QSqlQuery& query = lease.Query();
        while (query.next()) {
            OldRow row;
            row.concern.clientId = IdOf(query.value(0));
            row.concern.clientName = query.value(1).toString();
            row.concern.serverId = IdOf(query.value(2));
            row.concern.serverName = query.value(3).toString();
            row.key = query.value(4);
            for (qsizetype i = 0; i < columns.size(); ++i) {
                row.values << query.value(int(5 + i));
            }
            if (ManyKeys(write)) {
                // Keys are numbers or names; names compare as the columns do.
                const QString key = query.value(int(5 + columns.size())).toString();
                row.write = keys.size();
                for (qsizetype k = 0; k < keys.size(); ++k) {
                    if (keys.at(k).toString().compare(key, Qt::CaseInsensitive) == 0) {
                        row.write = k;
                        break;
                    }
                }
            }
            before << row;
        }
        if (query.lastError().type() != QSqlError::NoError) {
            result.error = query.lastError();
            return result;
        }
        std::stable_sort(before.begin(), before.end(),
                         [](const OldRow& a, const OldRow& b) { return a.write < b.write; });
    }

    const std::optional<CommandDone> done = run();
    if (!done) {
        result.ranAndFailed = true;
        return result;
    }
    TransactionState& state = g_transactions[&connection];
    if (role.concern == TableRole::Concern::Server ||
        (role.concern == TableRole::Concern::Client && write.kind != TableWrite::Kind::Insert)) {
        state.concerns.clear();  // a name or a server may have changed
    }

    struct Record {
        Concern concern;
        QString rowKey;
        QList<ColumnChange> changes;
    };
    QList<Record> records;
    if (write.kind == TableWrite::Kind::Insert) {
        const qsizetype count = write.rowValues.isEmpty() ? 1 : write.rowValues.size();
        QList<std::optional<qint32>> clientIds;
        for (qsizetype r = 0; r < count; ++r) {
            const QList<SqlValue>& values = ValuesOf(write, r);
            std::optional<qint32> clientId;
            if (role.concern == TableRole::Concern::Client) {
                clientId = IdOf(r < done->keys.size() ? done->keys.at(r) : done->lastInsertId);
            } else if (role.concern == TableRole::Concern::ByClientColumn) {
                const qsizetype at = write.columns.indexOf(role.clientColumn, 0);
                if (at >= 0 && at < values.size()) {
                    clientId = IdOf(values.at(at).bound());
                }
            }
            clientIds << clientId;
        }
        if (count > 1 && state.depth > 0) {
            QList<qint32> ids;
            for (const std::optional<qint32>& id : std::as_const(clientIds)) {
                if (id) {
                    ids << *id;
                }
            }
            if (!LoadConcerns(connection, state.concerns, ids, &result.error)) {
                return result;
            }
        }
        for (qsizetype r = 0; r < count; ++r) {
            const QList<SqlValue>& values = ValuesOf(write, r);
            Record record;
            for (qsizetype i = 0; i < write.columns.size() && i < values.size(); ++i) {
                record.changes << ColumnChange{write.columns.at(i), std::nullopt,
                                               TextOf(values.at(i).bound())};
            }
            const std::optional<qint32> newId =
                IdOf(r < done->keys.size() ? done->keys.at(r) : done->lastInsertId);
            if (!role.key.isEmpty() && newId) {
                record.rowKey = role.key + QLatin1Char('=') + QString::number(*newId);
            }
            const std::optional<qint32> clientId = clientIds.at(r);
            if (role.concern == TableRole::Concern::Server) {
                record.concern.serverId = newId;
                const qsizetype at = write.columns.indexOf(QStringLiteral("dnc_server_name"));
                if (at >= 0 && at < values.size()) {
                    record.concern.serverName = values.at(at).bound().toString();
                }
            }
            if (clientId) {
                const auto known = state.concerns.constFind(*clientId);
                const qsizetype nameAt = write.columns.indexOf(QStringLiteral("client_name"));
                const qsizetype serverAt = write.columns.indexOf(QStringLiteral("dnc_server_id"));
                // A client row just inserted holds its name and server itself.
                const std::optional<qint32> serverId =
                    role.concern == TableRole::Concern::Client && nameAt >= 0 && serverAt >= 0 &&
                            qMax(nameAt, serverAt) < values.size()
                        ? IdOf(values.at(serverAt).bound())
                        : std::nullopt;
                if (known != state.concerns.cend()) {
                    record.concern = *known;
                } else if (serverId && state.serverNames.contains(*serverId)) {
                    record.concern = Concern{serverId, state.serverNames.value(*serverId), clientId,
                                             values.at(nameAt).bound().toString()};
                    state.concerns.insert(*clientId, record.concern);
                } else {
                    record.concern.clientId = clientId;
                    Lease lease(connection, kClientConcern);
                    if (!lease.Run({*clientId})) {
                        result.error = lease.Error();
                        return result;
                    }
                    if (lease.Query().next()) {
                        record.concern.clientName = lease.Query().value(0).toString();
                        record.concern.serverId = IdOf(lease.Query().value(1));
                        record.concern.serverName = lease.Query().value(2).toString();
                    }
                    if (state.depth > 0) {
                        state.concerns.insert(*clientId, record.concern);
                    }
                }
            }
            records << record;
        }
    } else {
        for (const OldRow& row : before) {
            Record record;
            record.concern = row.concern;
            if (!role.key.isEmpty() && !row.key.isNull()) {
                record.rowKey = role.key + QLatin1Char('=') + row.key.toString();
            }
            for (qsizetype i = 0; i < columns.size(); ++i) {
                const std::optional<QString> old = TextOf(row.values.at(i));
                if (write.kind == TableWrite::Kind::Delete) {
                    record.changes << ColumnChange{columns.at(i), old, std::nullopt};
                    continue;
                }
                const QList<SqlValue>& values =
                    row.write < qMax<qsizetype>(1, write.whereValues.size())
                        ? ValuesOf(write, row.write)
                        : write.values;
                const std::optional<QString> now =
                    i < values.size() ? TextOf(values.at(i).bound()) : std::nullopt;
                if (old != now) {
                    record.changes << ColumnChange{columns.at(i), old, now};
                }
            }
            if (!record.changes.isEmpty()) {
                records << record;
            }
        }
    }

    if (!records.isEmpty()) {
        static const QString kOperations[] = {QStringLiteral("insert"), QStringLiteral("update"),
                                              QStringLiteral("delete")};
        const QString when = NowText();
        const QString computer = ComputerName();
        const QString user = OsUserName();
        const QString action = CurrentAction();
        QList<QVariantList> rows;
        rows.reserve(records.size());
        for (const Record& record : records) {
            rows << QVariantList{when,
                                 Text(computer),
                                 Text(user),
                                 Text(action),
                                 write.table,
                                 kOperations[int(write.kind)],
                                 Text(record.rowKey),
                                 Nullable(record.concern.serverId),
                                 Text(record.concern.serverName),
                                 Nullable(record.concern.clientId),
                                 Text(record.concern.clientName),
                                 ChangesJson(record.changes)};
        }
        if (state.depth > 0) {
            state.pending << rows;  // written with the commit
        } else if (!WriteRecords(connection, rows, &result.error)) {
            return result;
        }
    }
    result.done = done;
    return result;
}

}  // namespace

QString TableKeyColumn(const QString& table) {
    return RoleOf(table).key;
}

std::optional<CommandDone> RunLoggedCommand(const TableWrite& write, const QString& sql,
                                            const QList<SqlValue>& values, const ReportAs& as,
                                            bool returnsKey) {
    if (!g_enabled || !DncConnection.IsOpen()) {
        return RunCommand(sql, values, as, returnsKey);
    }
    const bool own = g_transactions[&DncConnection].depth == 0;
    std::optional<DeferredReports> reports;
    std::optional<Transaction> transaction;
    if (own) {
        // Made outside the transaction, so a rollback cannot take the table away again. A
        // failure shows in the statements that follow, but a lost connection ends the write
        // here, said once.
        QSqlError failure;
        if (!RecordStatementReady(DncConnection, &failure) && DncConnection.LostBy(failure)) {
            ReportStatementError(as, failure);
            return std::nullopt;
        }
        reports.emplace();
        transaction.emplace(as);
        if (g_transactions[&DncConnection].depth == 0) {
            return std::nullopt;  // no transaction to hold change and record (reported)
        }
    }
    const CoreResult result =
        Core(DncConnection, write, [&] { return RunCommand(sql, values, as, returnsKey); });
    if (!result.done) {
        if (!result.ranAndFailed) {
            // On a server, a statement after a failed one fails for that same reason: the
            // first failure was reported, so this one is not; a lost connection is said
            // in plain words, as for any statement.
            ReportStatementError(as, result.error);
            // A lost connection was said once; the commit refuses a lost transaction anyway.
            if (!own && !DncConnection.IsLost()) {
                g_transactions[&DncConnection].spoiled = true;
            }
        }
        return std::nullopt;
    }
    if (own && !transaction->Commit(as)) {
        return std::nullopt;
    }
    return result.done;
}

bool RecordedWrite(DatabaseConnection& connection, const TableWrite& write,
                   const std::function<bool(QSqlError*)>& run, QSqlError* error) {
    QSqlError runError;
    auto command = [&]() -> std::optional<CommandDone> {
        if (!run(&runError)) {
            return std::nullopt;
        }
        return CommandDone{};
    };
    if (!g_enabled) {
        const bool ran = command().has_value();
        if (!ran && error) {
            *error = runError;
        }
        return ran;
    }
    const CoreResult result = Core(connection, write, command);
    if (!result.done && error) {
        *error = result.ranAndFailed ? runError : result.error;
    }
    return result.done.has_value();
}

void NoteServerName(const DatabaseConnection& connection, qint32 serverId,
                    const QString& serverName) {
    TransactionState& state = g_transactions[&connection];
    if (state.depth > 0) {
        state.serverNames.insert(serverId, serverName);
    }
}

void NoteTransactionBegun(const DatabaseConnection& connection) {
    TransactionState& state = g_transactions[&connection];
    if (state.depth++ == 0) {
        state.spoiled = false;
    }
}

bool NoteTransactionEnding(DatabaseConnection& connection, const ReportAs& as, bool committing) {
    TransactionState& state = g_transactions[&connection];
    if (state.depth > 0) {
        --state.depth;
    }
    if (state.depth > 0) {
        return !state.spoiled;
    }
    bool spoiled = std::exchange(state.spoiled, false);
    const QList<QVariantList> pending = std::exchange(state.pending, {});
    state.concerns.clear();
    if (committing && !spoiled && !pending.isEmpty()) {
        QSqlError error;
        if (!WriteRecords(connection, pending, &error)) {
            ReportStatementError(as, error);
            return false;  // the failure was said
        }
    }
    if (spoiled && !as.prefix.isEmpty() && !connection.IsLost()) {
        ReportOwnError(as, OwnError::BadStatement,
                       QStringLiteral("Nothing was saved: a change could not be recorded in "
                                      "the change log"));
    }
    return !spoiled;
}

RecordsInClientOrder::RecordsInClientOrder(const QList<qint32>& clients)
    : clients_(clients), first_(g_transactions[&DncConnection].pending.size()) {}

void RecordsInClientOrder::Step(int step) {
    steps_.append({g_transactions[&DncConnection].pending.size(), step});
}

void RecordsInClientOrder::Done() {
    QList<QVariantList>& pending = g_transactions[&DncConnection].pending;
    if (pending.size() <= first_) {
        return;  // none made, or dropped with a rollback
    }
    constexpr int kClientIdColumn = 9;
    struct Placed {
        qsizetype client;
        int step;
        QVariantList record;
    };
    QList<Placed> placed;
    qsizetype nextStep = 0;
    int step = 0;
    for (qsizetype i = first_; i < pending.size(); ++i) {
        while (nextStep < steps_.size() && steps_.at(nextStep).first <= i) {
            step = steps_.at(nextStep++).second;
        }
        const QVariant id = pending.at(i).at(kClientIdColumn);
        const qsizetype at = id.isNull() ? -1 : clients_.indexOf(id.toInt());
        placed.append({at < 0 ? clients_.size() : at, step, pending.at(i)});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        return a.client != b.client ? a.client < b.client : a.step < b.step;
    });
    for (qsizetype i = 0; i < placed.size(); ++i) {
        pending[first_ + i] = placed.at(i).record;
    }
    first_ = pending.size();
    steps_.clear();
}

bool EnsureChangeLogTable(DatabaseConnection& connection, QString* error) {
    if (!connection.IsOpen()) {
        if (error) {
            *error = connection.LastError();
        }
        return false;
    }
    const std::optional<bool> exists =
        TableExists(connection, QLatin1String(kChangeLogTable), error);
    if (!exists || *exists) {
        return exists.value_or(false);
    }
    return AddOwnTables(connection, error);
}

void SetChangeLogTimeSource(std::function<QDateTime()> source) {
    g_timeSource = std::move(source);
}

void SetChangeLogEnabled(bool enabled) {
    g_enabled = enabled;
}

bool ChangeLogEnabled() {
    return g_enabled;
}
