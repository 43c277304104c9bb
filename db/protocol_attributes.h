#pragma once
// A client's protocol attribute rows, read and written on a connection of their own: the
// protocol attribute dialogs open one from the connection string they are handed.
// Table and column names are checked against the schema; values are bound.

#include "components/database_connection.h"
#include "db/sql_value.h"

#include <QList>
#include <QStringList>
#include <QVariantList>

#include <optional>

// The key column of a per-client table: rem_client_id for t_remote, client_id otherwise.
QString AttributeKeyColumn(const QString& table);

struct AttributeRow {
    bool found = false;   // the client has a row in the table
    QVariantList values;  // one per column asked for, when found
};

// The client's first row (stored order) of the table. Nothing when the names are unknown or
// the query failed (reported under "Error Protocol Attributes").
std::optional<AttributeRow> ReadAttributeRow(DatabaseConnection& connection, const QString& table,
                                             const QStringList& columns, qint32 clientId);

struct AttributeChange {
    QString table;
    bool insertRow = false;  // the client has no row yet: one holding the key is added first
    QStringList columns;
    QList<SqlValue> values;
};

// Applies every change to all of the client's rows of each table, in one transaction: all
// or nothing. Returns whether it was stored; a failure is reported after the rollback.
bool WriteAttributeRows(DatabaseConnection& connection, qint32 clientId,
                        const QList<AttributeChange>& changes);
