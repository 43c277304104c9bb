#include "db/change_log_text.h"

#include "db/backend.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace change_log_text {

// The insert of n records in one statement.
QString InsertRecordsText(qsizetype n) {
    const qsizetype open = kInsertRecord.indexOf(QLatin1String("VALUES ")) + 7;
    const QString row = kInsertRecord.mid(open);
    QStringList rows;
    rows.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        rows << row;
    }
    return kInsertRecord.left(open) + rows.join(QStringLiteral(", "));
}

TableRole RoleOf(const QString& table) {
    const QString t = table.toLower();
    if (t == QLatin1String("t_dnc_servers")) {
        return {TableRole::Concern::Server, QString(), QStringLiteral("dnc_server_id")};
    }
    if (t == QLatin1String("t_dnc_server_clients")) {
        return {TableRole::Concern::Client, QStringLiteral("client_id"),
                QStringLiteral("client_id")};
    }
    if (t == QLatin1String("t_protocol")) {
        return {TableRole::Concern::None, QString(), QStringLiteral("protocol_id")};
    }
    if (t == QLatin1String("t_remote")) {
        return {TableRole::Concern::ByClientColumn, QStringLiteral("rem_client_id"), QString()};
    }
    if (t == QLatin1String("t_shopterm_clients")) {
        return {TableRole::Concern::ByClientColumn, QStringLiteral("clients_id"),
                QStringLiteral("shopterm_id")};
    }
    if (t == QLatin1String("t_client_directory")) {
        return {TableRole::Concern::ByClientColumn, QStringLiteral("client_id"),
                QStringLiteral("dir_id")};
    }
    return {TableRole::Concern::ByClientColumn, QStringLiteral("client_id"), QString()};
}

std::optional<QString> TextOf(const QVariant& value) {
    if (value.isNull()) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<qint32> IdOf(const QVariant& value) {
    qint32 id = 0;
    if (value.isNull() || !ReadInt32(value, id)) {
        return std::nullopt;
    }
    return id;
}

bool ManyKeys(const TableWrite& write) {
    return !write.whereValues.isEmpty();
}

// The values the write's i-th key or row takes.
const QList<SqlValue>& ValuesOf(const TableWrite& write, qsizetype i) {
    if (write.rowValues.isEmpty()) {
        return write.values;
    }
    return write.rowValues.size() == 1 ? write.rowValues.first() : write.rowValues.at(i);
}

QString Marks(qsizetype n) {
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

QString OldRowsText(const TableWrite& write, const TableRole& role, const QStringList& columns) {
    QStringList select;
    QString from = QStringLiteral(" FROM ") + write.table + QStringLiteral(" t");
    switch (role.concern) {
        case TableRole::Concern::None:
            select << QStringLiteral("NULL") << QStringLiteral("NULL") << QStringLiteral("NULL")
                   << QStringLiteral("NULL");
            break;
        case TableRole::Concern::Server:
            select << QStringLiteral("NULL") << QStringLiteral("NULL")
                   << QStringLiteral("t.dnc_server_id") << QStringLiteral("t.dnc_server_name");
            break;
        case TableRole::Concern::Client:
            select << QStringLiteral("t.client_id") << QStringLiteral("t.client_name")
                   << QStringLiteral("t.dnc_server_id") << QStringLiteral("s.dnc_server_name");
            from += QStringLiteral(
                " LEFT JOIN t_dnc_servers s ON s.dnc_server_id = "
                "t.dnc_server_id");
            break;
        case TableRole::Concern::ByClientColumn:
            select << QStringLiteral("t.") + role.clientColumn << QStringLiteral("c.client_name")
                   << QStringLiteral("c.dnc_server_id") << QStringLiteral("s.dnc_server_name");
            from += QStringLiteral(" LEFT JOIN t_dnc_server_clients c ON c.client_id = t.") +
                    role.clientColumn +
                    QStringLiteral(
                        " LEFT JOIN t_dnc_servers s ON s.dnc_server_id = "
                        "c.dnc_server_id");
            break;
    }
    select << (role.key.isEmpty() ? QStringLiteral("NULL") : QStringLiteral("t.") + role.key);
    for (const QString& column : columns) {
        select << QStringLiteral("t.") + column;
    }
    if (ManyKeys(write)) {
        select << QStringLiteral("t.") + write.whereColumn;
        return QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + from +
               QStringLiteral(" WHERE t.") + write.whereColumn + QStringLiteral(" IN (") +
               Marks(write.whereValues.size()) + QLatin1Char(')');
    }
    return QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + from +
           QStringLiteral(" WHERE t.") + write.whereColumn + QStringLiteral(" = ?");
}

QString ChangesJson(const QList<ColumnChange>& changes) {
    QJsonArray array;
    for (const ColumnChange& change : changes) {
        array.append(QJsonArray{change.column,
                                change.oldValue ? QJsonValue(*change.oldValue) : QJsonValue(),
                                change.newValue ? QJsonValue(*change.newValue) : QJsonValue()});
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// Text columns of the record are never NULL.
QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QVariant Nullable(const std::optional<qint32>& id) {
    return id ? QVariant(*id) : QVariant(QMetaType(QMetaType::Int));
}

}  // namespace change_log_text
