#pragma once
// The tables and columns of DNC.mdb. Statement builders accept only these names, so no text
// from outside the code can become part of an SQL statement.

#include <QString>
#include <QStringList>

#include <optional>

bool IsSchemaTable(const QString& table);
bool IsSchemaColumn(const QString& table, const QString& column);
QStringList SchemaTables();
QStringList SchemaColumns(const QString& table);
// Comparison operators a builder accepts.
bool IsSqlOperator(const QString& op);

// The names as the schema spells them. Names compare without regard to letter case, as the
// database does; nothing when the schema has no such name.
std::optional<QString> SchemaTableName(const QString& table);
std::optional<QString> SchemaColumnName(const QString& table, const QString& column);
std::optional<QString> SqlOperator(const QString& op);
