#include "db/check_reads.h"

#include "db/change_log.h"
#include "db/dnc_database.h"
#include "db/statement.h"
#include "db/transaction.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

namespace {

const QString kPrefix = QStringLiteral("Error Check");
const QString kRepairPrefix = QStringLiteral("Error Check Repair");
const QString kClients = QStringLiteral("t_dnc_server_clients");

QString Text(const QSqlQuery& query, int column) {
    return query.value(column).toString();
}

qint32 Int(const QSqlQuery& query, int column) {
    return qint32(query.value(column).toLongLong());
}

bool ReadAll(const QString& sql, int step, const std::function<void(const QSqlQuery&)>& onRow) {
    return ForEachRow(sql, {}, ReportAs{kPrefix, step}, onRow).ok;
}

// Whether a row keyed by column = clientId exists; nothing when the look-up failed.
std::optional<bool> HasRow(const QString& table, const QString& column, qint32 clientId) {
    const LookUp found =
        SelectFirstValue(QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(column, table),
                         {SqlValue::Number(clientId)}, ReportAs{kRepairPrefix, 1});
    if (found.outcome == LookUp::Outcome::Failed) {
        return std::nullopt;
    }
    return found.found();
}

QString RowsText(qint64 rows, const char* done) {
    return QStringLiteral("%1 row%2 %3").arg(rows).arg(rows == 1 ? "" : "s").arg(done);
}

}  // namespace

const QStringList& ClientDependentTables() {
    static const QStringList tables = {QStringLiteral("t_client_mode"),
                                       QStringLiteral("t_client_terminal_mode"),
                                       QStringLiteral("t_filter_table_down"),
                                       QStringLiteral("t_filter_table_up"),
                                       QStringLiteral("t_timeout_table_down"),
                                       QStringLiteral("t_timeout_table_up"),
                                       QStringLiteral("t_command")};
    return tables;
}

CheckData ReadCheckData() {
    CheckData data;
    bool ok = ReadAll(QStringLiteral("SELECT dnc_server_id, dnc_server_name FROM t_dnc_servers "
                                     "ORDER BY dnc_server_id"),
                      1, [&](const QSqlQuery& q) {
                          data.Servers.append({Int(q, 0), Text(q, 1)});
                      });
    ok = ok &&
         ReadAll(QStringLiteral("SELECT client_id, client_name, dnc_server_id, NODE_ID, PORT_ID, "
                                "protocol_id, bts_used, bts_address, bts_pin "
                                "FROM t_dnc_server_clients ORDER BY client_id"),
                 2, [&](const QSqlQuery& q) {
                     data.Clients.append({Int(q, 0), Text(q, 1), Int(q, 2), Text(q, 3), Text(q, 4),
                                          Int(q, 5), Int(q, 6) != 0, Text(q, 7), Text(q, 8)});
                 });
    ok = ok && ReadAll(QStringLiteral("SELECT protocol_id, protocol_name FROM t_protocol"), 3,
                       [&](const QSqlQuery& q) {
                           if (!data.Protocols.contains(Int(q, 0))) {
                               data.Protocols.insert(Int(q, 0), Text(q, 1));
                           }
                       });
    ok = ok && ReadAll(QStringLiteral("SELECT client_id, cnc_comport FROM t_client_mode"), 4,
                       [&](const QSqlQuery& q) {
                           data.DependentRows[QStringLiteral("t_client_mode")].append(Int(q, 0));
                           if (!data.ComPorts.contains(Int(q, 0))) {
                               data.ComPorts.insert(Int(q, 0), Int(q, 1));
                           }
                       });
    int step = 5;
    for (const QString& table : ClientDependentTables().mid(1)) {
        QList<qint32>& ids = data.DependentRows[table];
        ok = ok && ReadAll(QStringLiteral("SELECT client_id FROM ") + table, step++,
                           [&](const QSqlQuery& q) { ids.append(Int(q, 0)); });
    }
    ok = ok && ReadAll(QStringLiteral("SELECT rem_client_id FROM t_remote"), 11,
                       [&](const QSqlQuery& q) { data.RemoteRows.append(Int(q, 0)); });
    ok = ok && ReadAll(QStringLiteral("SELECT shop_client_id, clients_id FROM t_shopterm_clients"),
                       12, [&](const QSqlQuery& q) {
                           data.ShopTerminalRows.append({Int(q, 0), Int(q, 1)});
                       });
    ok = ok &&
         ReadAll(
             QStringLiteral("SELECT dir_id, client_id, directory_direct, "
                            "directory_alias, dir_mode FROM t_client_directory "
                            "ORDER BY dir_id"),
             13, [&](const QSqlQuery& q) {
                 data.Directories.append({Int(q, 0), Int(q, 1), Text(q, 2), Text(q, 3), Int(q, 4)});
             });
    data.Ok = ok;
    return data;
}

namespace {

// What a repair step did inside its caller's transaction.
enum class StepResult { Done, NotApplicable, Failed };

// Each table with a column that names the client, in the order a removal goes.
const QList<QPair<QString, QString>>& LeftBehindColumns() {
    static const QList<QPair<QString, QString>> columns = [] {
        QList<QPair<QString, QString>> all;
        for (const QString& table : ClientDependentTables()) {
            all.append({table, QStringLiteral("client_id")});
        }
        all.append({QStringLiteral("t_client_directory"), QStringLiteral("client_id")});
        all.append({QStringLiteral("t_remote"), QStringLiteral("rem_client_id")});
        all.append({QStringLiteral("t_shopterm_clients"), QStringLiteral("shop_client_id")});
        all.append({QStringLiteral("t_shopterm_clients"), QStringLiteral("clients_id")});
        return all;
    }();
    return columns;
}

StepResult AddMissingRowsIn(qint32 clientId, const QStringList& tables, RepairDone* done) {
    const std::optional<bool> client = HasRow(kClients, QStringLiteral("client_id"), clientId);
    if (!client) {
        return StepResult::Failed;
    }
    if (!*client) {
        return StepResult::NotApplicable;  // gone since the check: nothing to add rows for
    }
    for (const QString& table : tables) {
        if (!ClientDependentTables().contains(table)) {
            continue;
        }
        const std::optional<bool> has = HasRow(table, QStringLiteral("client_id"), clientId);
        if (!has) {
            return StepResult::Failed;
        }
        if (*has) {
            continue;
        }
        const QList<SqlValue> values = {SqlValue::Number(clientId)};
        if (!RunLoggedCommand(TableWrite::Insert(table, {QStringLiteral("client_id")}, values),
                              QStringLiteral("INSERT INTO %1 (client_id) VALUES (?)").arg(table),
                              values, ReportAs{kRepairPrefix, 2})) {
            return StepResult::Failed;
        }
        done->Changes << table + QStringLiteral(": ") + RowsText(1, "added");
    }
    return StepResult::Done;
}

StepResult RemoveLeftBehindRowsIn(qint32 clientId, RepairDone* done) {
    const std::optional<bool> client = HasRow(kClients, QStringLiteral("client_id"), clientId);
    if (!client) {
        return StepResult::Failed;
    }
    if (*client) {
        return StepResult::NotApplicable;  // the client exists: its rows are not left behind
    }
    // Every removal is logged; both columns of a table count together.
    QList<QPair<QString, QStringList>> targets;
    for (const auto& [table, column] : LeftBehindColumns()) {
        if (targets.isEmpty() || targets.last().first != table) {
            targets.append({table, {}});
        }
        targets.last().second << column;
    }
    for (const auto& [table, columns] : targets) {
        qint64 removed = 0;
        for (const QString& column : columns) {
            const SqlValue id = SqlValue::Number(clientId);
            const std::optional<CommandDone> deleted =
                RunLoggedCommand(TableWrite::Delete(table, column, id),
                                 QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, column),
                                 {id}, ReportAs{kRepairPrefix, 3});
            if (!deleted) {
                return StepResult::Failed;
            }
            removed += deleted->rowsAffected;
        }
        if (removed > 0) {
            done->Changes << table + QStringLiteral(": ") + RowsText(removed, "removed");
        }
    }
    return StepResult::Done;
}

QString Marks(qsizetype n) {
    QStringList marks;
    marks.fill(QStringLiteral("?"), n);
    return marks.join(QStringLiteral(", "));
}

QList<SqlValue> Numbers(const QList<qint32>& ids) {
    QList<SqlValue> values;
    values.reserve(ids.size());
    for (const qint32 id : ids) {
        values << SqlValue::Number(id);
    }
    return values;
}

// How many rows of table name each of the clients by column; nothing when the read failed.
std::optional<QHash<qint32, qint64>> RowCounts(const QString& table, const QString& column,
                                               const QList<qint32>& ids) {
    QHash<qint32, qint64> counts;
    if (ids.isEmpty()) {
        return counts;
    }
    const RowsRead read =
        ForEachRow(QStringLiteral("SELECT %1, COUNT(*) FROM %2 WHERE %1 IN (%3) GROUP BY %1")
                       .arg(column, table, Marks(ids.size())),
                   Numbers(ids), ReportAs{kRepairPrefix, 1},
                   [&](const QSqlQuery& q) { counts.insert(Int(q, 0), q.value(1).toLongLong()); });
    if (!read.ok) {
        return std::nullopt;
    }
    return counts;
}

// The repairs of many clients together, in the caller's transaction: a few statements per
// table, not per client. One result per request, in order; nothing when a statement failed.
std::optional<QList<RepairDone>> RepairTogether(const QList<RepairRequest>& requests) {
    QList<qint32> ids;
    for (const RepairRequest& request : requests) {
        ids << request.clientId;
    }
    const std::optional<QHash<qint32, qint64>> clients =
        RowCounts(kClients, QStringLiteral("client_id"), ids);
    if (!clients) {
        return std::nullopt;
    }
    QList<RepairDone> results(requests.size());
    // The change log as the repairs made one client after another would leave it.
    RecordsInClientOrder order(ids);
    int step = 0;
    // The rows added or removed per client and table, said in the order one alone says them.
    QHash<qint32, QHash<QString, QString>> changes;
    QHash<qint32, QHash<QString, qint64>> removed;

    for (const QString& table : ClientDependentTables()) {
        QList<qint32> wanting;
        for (const RepairRequest& request : requests) {
            if (request.kind == RepairRequest::Kind::AddMissingRows &&
                clients->contains(request.clientId) && request.tables.contains(table) &&
                !wanting.contains(request.clientId)) {
                wanting << request.clientId;
            }
        }
        const std::optional<QHash<qint32, qint64>> have =
            RowCounts(table, QStringLiteral("client_id"), wanting);
        if (!have) {
            return std::nullopt;
        }
        order.Step(++step);
        QList<QList<SqlValue>> rows;
        QList<SqlValue> values;
        for (const qint32 id : std::as_const(wanting)) {
            if (!have->contains(id)) {
                rows << QList<SqlValue>{SqlValue::Number(id)};
                values << SqlValue::Number(id);
                changes[id].insert(table, table + QStringLiteral(": ") + RowsText(1, "added"));
            }
        }
        if (!rows.isEmpty() &&
            !RunLoggedCommand(
                TableWrite::InsertRows(table, {QStringLiteral("client_id")}, rows),
                QStringLiteral("INSERT INTO %1 (client_id) VALUES ").arg(table) +
                    QStringList(rows.size(), QStringLiteral("(?)")).join(QStringLiteral(", ")),
                values, ReportAs{kRepairPrefix, 2})) {
            return std::nullopt;
        }
    }

    QList<qint32> gone;
    for (const RepairRequest& request : requests) {
        if (request.kind == RepairRequest::Kind::RemoveLeftBehindRows &&
            !clients->contains(request.clientId) && !gone.contains(request.clientId)) {
            gone << request.clientId;
        }
    }
    for (const auto& [table, column] : LeftBehindColumns()) {
        const std::optional<QHash<qint32, qint64>> held = RowCounts(table, column, gone);
        if (!held) {
            return std::nullopt;
        }
        if (held->isEmpty()) {
            continue;
        }
        order.Step(++step);
        TableWrite write;
        write.kind = TableWrite::Kind::Delete;
        write.table = table;
        write.whereColumn = column;
        QList<qint32> keys;
        for (const qint32 id : std::as_const(gone)) {
            if (held->contains(id)) {
                keys << id;
            }
        }
        write.whereValues = Numbers(keys);
        if (!RunLoggedCommand(write,
                              QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)")
                                  .arg(table, column, Marks(keys.size())),
                              write.whereValues, ReportAs{kRepairPrefix, 3})) {
            return std::nullopt;
        }
        for (const qint32 id : std::as_const(keys)) {
            removed[id][table] += held->value(id);  // both columns of a table count together
        }
    }
    for (auto client = removed.cbegin(); client != removed.cend(); ++client) {
        for (auto table = client->cbegin(); table != client->cend(); ++table) {
            changes[client.key()].insert(table.key(), table.key() + QStringLiteral(": ") +
                                                          RowsText(table.value(), "removed"));
        }
    }

    order.Done();
    // A client named by two requests is said once per table, by the first that names it.
    QHash<qint32, QSet<QString>> said;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const RepairRequest& request = requests.at(i);
        const bool adding = request.kind == RepairRequest::Kind::AddMissingRows;
        RepairDone& done = results[i];
        done.Ok = clients->contains(request.clientId) == adding;
        if (!done.Ok) {
            continue;
        }
        const QHash<QString, QString> made = changes.value(request.clientId);
        QSet<QString>& told = said[request.clientId];
        const auto tell = [&](const QString& table) {
            if (made.contains(table) && !told.contains(table)) {
                told.insert(table);
                done.Changes << made.value(table);
            }
        };
        if (adding) {
            for (const QString& table : request.tables) {
                tell(table);
            }
        } else {
            for (const auto& [table, column] : LeftBehindColumns()) {
                tell(table);
            }
        }
    }
    return results;
}

StepResult RepairIn(const RepairRequest& request, RepairDone* done) {
    return request.kind == RepairRequest::Kind::AddMissingRows
               ? AddMissingRowsIn(request.clientId, request.tables, done)
               : RemoveLeftBehindRowsIn(request.clientId, done);
}

}  // namespace

RepairDone RepairMDB(const RepairRequest& request) {
    RepairDone done;
    DatabaseTransaction transaction(kRepairPrefix);
    // One transaction or nothing: never the repair's statements one by one.
    if (!transaction.Begun() || RepairIn(request, &done) != StepResult::Done) {
        return RepairDone();
    }
    done.Ok = transaction.Commit();
    if (!done.Ok) {
        done.Changes.clear();
    }
    return done;
}

std::optional<QList<RepairDone>> RepairBatchMDB(const QList<RepairRequest>& requests) {
    DeferredReports reports;
    {
        DatabaseTransaction transaction(kRepairPrefix);
        std::optional<QList<RepairDone>> together;
        if (transaction.Begun()) {
            together = RepairTogether(requests);
        }
        if (together && transaction.Commit()) {
            return together;
        }
    }
    // Repaired one by one instead, each saying for itself what failed; a lost connection is
    // said here, since nothing more will run.
    if (!DncConnection.IsLost() && DncConnection.IsOpen()) {
        reports.Discard();
    }
    return std::nullopt;
}
