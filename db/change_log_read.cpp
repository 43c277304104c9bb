// Reading the change log back: the entries a filter selects, newest first, one at a time.

#include "db/backend.h"
#include "db/change_log.h"
#include "db/recordset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace {

std::optional<qint32> IdOf(const QVariant& value) {
    qint32 id = 0;
    if (value.isNull() || !ReadInt32(value, id)) {
        return std::nullopt;
    }
    return id;
}

QList<ColumnChange> ChangesFromJson(const QString& text) {
    QList<ColumnChange> changes;
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const QJsonValue& item : array) {
        const QJsonArray triple = item.toArray();
        ColumnChange change;
        change.column = triple.at(0).toString();
        if (!triple.at(1).isNull()) {
            change.oldValue = triple.at(1).toString();
        }
        if (!triple.at(2).isNull()) {
            change.newValue = triple.at(2).toString();
        }
        changes << change;
    }
    return changes;
}

bool Failed(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

}  // namespace

bool ForEachChangeLogEntry(DatabaseConnection& connection, const ChangeLogFilter& filter,
                           const std::function<bool(const ChangeLogEntry&)>& each, QString* error) {
    if (!connection.IsOpen()) {
        return Failed(error, connection.LastError());
    }
    const std::optional<bool> exists =
        TableExists(connection, QLatin1String(kChangeLogTable), error);
    if (!exists) {
        return false;
    }
    if (!*exists) {
        return true;
    }
    QString sql = QStringLiteral(
        "SELECT change_id, changed_at, computer, os_user, action, table_name, operation, "
        "row_key, server_id, server_name, client_id, client_name, changes "
        "FROM kestrum_change_log WHERE 1 = 1");
    QList<QVariant> values;
    if (!filter.server.isEmpty()) {
        sql += QStringLiteral(" AND LOWER(server_name) = LOWER(?)");
        values << filter.server;
    }
    if (!filter.client.isEmpty()) {
        sql += QStringLiteral(" AND LOWER(client_name) = LOWER(?)");
        values << filter.client;
    }
    // Stored times are all in one form (UTC, milliseconds), so text order is time order.
    if (filter.since.isValid()) {
        sql += QStringLiteral(" AND changed_at >= ?");
        values << LogInstantText(filter.since);
    }
    if (filter.until.isValid()) {
        sql += QStringLiteral(" AND changed_at < ?");
        values << LogInstantText(filter.until);
    }
    // A page starts below the last entry of the one before: no OFFSET that re-reads them.
    if (filter.beforeId > 0) {
        sql += QStringLiteral(" AND change_id < ?");
        values << filter.beforeId;
    }
    sql += QStringLiteral(" ORDER BY change_id DESC");
    if (filter.limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << filter.limit;
    }
    QSqlQuery query(connection.Database());
    // Forward only: the rows are handed on as they come, never all held at once.
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    for (qsizetype i = 0; ok && i < values.size(); ++i) {
        query.bindValue(int(i), values.at(i));
    }
    ok = ok && query.exec();
    while (ok && query.next()) {
        ChangeLogEntry entry;
        entry.id = query.value(0).toLongLong();
        entry.changedAt = query.value(1).toString();
        entry.computer = query.value(2).toString();
        entry.user = query.value(3).toString();
        entry.action = query.value(4).toString();
        entry.table = query.value(5).toString();
        entry.operation = query.value(6).toString();
        entry.rowKey = query.value(7).toString();
        entry.serverId = IdOf(query.value(8));
        entry.serverName = query.value(9).toString();
        entry.clientId = IdOf(query.value(10));
        entry.clientName = query.value(11).toString();
        entry.changes = ChangesFromJson(query.value(12).toString());
        if (!each(entry)) {
            return true;
        }
    }
    if (!ok || query.lastError().type() != QSqlError::NoError) {
        return Failed(error, query.lastError().text());
    }
    return true;
}

std::optional<QList<ChangeLogEntry>> ReadChangeLog(DatabaseConnection& connection,
                                                   const ChangeLogFilter& filter, QString* error) {
    QList<ChangeLogEntry> entries;
    if (!ForEachChangeLogEntry(
            connection, filter,
            [&entries](const ChangeLogEntry& entry) {
                entries << entry;
                return true;
            },
            error)) {
        return std::nullopt;
    }
    return entries;
}
