#pragma once
// Whole tables read and written on any open connection, for copying a configuration between
// databases (the Access import, kestrum-dncopy). Table and column names must be schema names;
// every value is bound. Failures come back as text: these run in tools, not windows.

#include "components/database_connection.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace ConfigurationRows {

// Every row of the table, its schema columns in schema order, in stored order.
bool ReadTable(DatabaseConnection& connection, const QString& table, QList<QVariantList>* rows,
               QString* error);
std::optional<qint64> CountRows(DatabaseConnection& connection, const QString& table,
                                QString* error);
bool DeleteAllRows(DatabaseConnection& connection, const QString& table, QString* error);
// Inserts the rows (values in the order of columns) with one prepared statement.
bool InsertRows(DatabaseConnection& connection, const QString& table, const QStringList& columns,
                const QList<QVariantList>& rows, QString* error);

bool Begin(DatabaseConnection& connection, QString* error);
// A read-only transaction that sees every table as of its first statement.
bool BeginSnapshot(DatabaseConnection& connection, QString* error);
bool Commit(DatabaseConnection& connection, QString* error);
void Rollback(DatabaseConnection& connection);

}  // namespace ConfigurationRows
