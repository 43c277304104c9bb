#pragma once
// The tables and columns of DNC.mdb. Statement builders accept only these names, so no text
// from outside the code can become part of an SQL statement.

#include <QString>
#include <QStringList>

bool IsSchemaTable(const QString& table);
bool IsSchemaColumn(const QString& table, const QString& column);
QStringList SchemaTables();
QStringList SchemaColumns(const QString& table);
// Comparison operators a builder accepts.
bool IsSqlOperator(const QString& op);
