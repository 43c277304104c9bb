// Reading the change log back: the entries a filter selects, newest first, as text and CSV.

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

}  // namespace

std::optional<QList<ChangeLogEntry>> ReadChangeLog(DatabaseConnection& connection,
                                                   const ChangeLogFilter& filter, QString* error) {
    if (!connection.IsOpen()) {
        if (error) {
            *error = connection.LastError();
        }
        return std::nullopt;
    }
    QSqlDatabase db = connection.Database();
    QList<ChangeLogEntry> entries;
    if (!db.tables().contains(QLatin1String(kChangeLogTable), Qt::CaseInsensitive)) {
        return entries;
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
    if (!filter.since.isEmpty()) {
        sql += QStringLiteral(" AND changed_at >= ?");
        values << filter.since;
    }
    if (!filter.until.isEmpty()) {
        sql += QStringLiteral(" AND changed_at < ?");
        values << filter.until;
    }
    sql += QStringLiteral(" ORDER BY change_id DESC");
    QSqlQuery query(db);
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
        entries << entry;
    }
    if (!ok || query.lastError().type() != QSqlError::NoError) {
        if (error) {
            *error = query.lastError().text();
        }
        return std::nullopt;
    }
    return entries;
}

QString ChangesText(const QList<ColumnChange>& changes) {
    QStringList parts;
    const auto shown = [](const std::optional<QString>& value) {
        if (!value) {
            return QStringLiteral("(none)");
        }
        return value->isEmpty() ? QStringLiteral("(empty)") : *value;
    };
    for (const ColumnChange& change : changes) {
        parts << change.column + QStringLiteral(": ") + shown(change.oldValue) +
                     QStringLiteral(" -> ") + shown(change.newValue);
    }
    return parts.join(QStringLiteral("; "));
}

namespace {

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QByteArray ChangeLogCsv(const QList<ChangeLogEntry>& entries) {
    QStringList lines;
    lines << QStringLiteral(
        "when (UTC),computer,user,action,table,operation,row,server id,"
        "server,client id,client,changes");
    for (const ChangeLogEntry& e : entries) {
        const QStringList fields = {
            e.changedAt,  e.computer,
            e.user,       e.action,
            e.table,      e.operation,
            e.rowKey,     e.serverId ? QString::number(*e.serverId) : QString(),
            e.serverName, e.clientId ? QString::number(*e.clientId) : QString(),
            e.clientName, ChangesText(e.changes)};
        QStringList quoted;
        for (const QString& field : fields) {
            quoted << CsvField(field);
        }
        lines << quoted.join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}
