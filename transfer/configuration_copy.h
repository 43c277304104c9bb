#pragma once
// Copying a whole configuration into a database: every table of the schema with its rows as
// they were (identifiers kept, gaps and rows of deleted clients included), in one
// transaction, and the key counters set so that no identifier is handed out twice.

#include "components/database_connection.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// A table as a source holds it: its own column names and its rows in stored order.
struct SourceTable {
    QString name;
    QStringList columns;
    QList<QVariantList> rows;
    // The last key the source handed out (an AutoNumber counter, a key sequence); the
    // target's counter is set to this or the highest key copied, whichever is higher.
    std::optional<qint64> lastKey;
};

struct SourceConfiguration {
    QList<SourceTable> tables;
};

struct CopyOutcome {
    bool ok = false;
    QString error;                            // why nothing was written
    QList<QPair<QString, qsizetype>> copied;  // table and rows, in schema order
    QStringList skipped;                      // tables and columns the schema does not have
};

enum class TargetRows {
    MustBeEmpty,  // a target holding rows beyond the schema's own t_protocol rows is refused
    Replace,      // a restore: the target's rows go in the same transaction
};

// Checks the source (tables and columns present, every value fits) and the target, then
// writes. On any failure nothing is written. When rows are replaced, no key counter goes back:
// an identifier handed out since the source was read is never handed out again.
CopyOutcome CopyConfiguration(const SourceConfiguration& source, DatabaseConnection& target,
                              TargetRows rows = TargetRows::MustBeEmpty);

// The whole configuration of an open database, with its key counters.
bool ReadDatabaseConfiguration(DatabaseConnection& connection, SourceConfiguration* source,
                               QString* error);
