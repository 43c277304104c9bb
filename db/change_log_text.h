#pragma once
// The change log's statement texts and the values of its records.

#include "db/change_log.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace change_log_text {

const QString kInsertRecord = QStringLiteral(
    "INSERT INTO kestrum_change_log (changed_at, computer, os_user, action, table_name, "
    "operation, row_key, server_id, server_name, client_id, client_name, changes) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

// The insert of n records in one statement.
QString InsertRecordsText(qsizetype n);

const QString kClientConcernMany = QStringLiteral(
    "SELECT c.client_id, c.client_name, c.dnc_server_id, s.dnc_server_name FROM "
    "t_dnc_server_clients c LEFT JOIN t_dnc_servers s ON s.dnc_server_id = c.dnc_server_id "
    "WHERE c.client_id IN (%1)");
const QString kClientConcern = QStringLiteral(
    "SELECT c.client_name, c.dnc_server_id, s.dnc_server_name FROM t_dnc_server_clients c "
    "LEFT JOIN t_dnc_servers s ON s.dnc_server_id = c.dnc_server_id WHERE c.client_id = ?");

// Which client or server a table's rows concern, and the key of their own.
struct TableRole {
    enum class Concern { None, Server, Client, ByClientColumn };
    Concern concern = Concern::None;
    QString clientColumn;  // ByClientColumn: the column holding the client's id
    QString key;           // the table's own key column, or empty
};

TableRole RoleOf(const QString& table);

std::optional<QString> TextOf(const QVariant& value);
std::optional<qint32> IdOf(const QVariant& value);

// Whether the write names many keys (whereValues) rather than one.
bool ManyKeys(const TableWrite& write);
// The values the write's i-th key or row takes.
const QList<SqlValue>& ValuesOf(const TableWrite& write, qsizetype i);
QString Marks(qsizetype n);

// The old rows a write changes, with the client or server each concerns.
QString OldRowsText(const TableWrite& write, const TableRole& role, const QStringList& columns);

QString ChangesJson(const QList<ColumnChange>& changes);
// Text columns of the record are never NULL.
QVariant Text(const QString& text);
QVariant Nullable(const std::optional<qint32>& id);

}  // namespace change_log_text
