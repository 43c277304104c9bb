#pragma once
// How each column of DNC.mdb takes a value brought in from another database: its kind, its
// range and the default a missing (NULL) number takes.

#include <QString>
#include <QVariant>

#include <optional>

struct TargetColumn {
    enum class Kind { Text, Number16, Number32, YesNo };
    QString name;
    Kind kind = Kind::Text;
    QVariant defaultValue;  // the schema's DEFAULT; invalid when the column has none
};

// The columns of a schema table in schema order (empty for an unknown table).
QList<TargetColumn> TargetColumns(const QString& table);

// The key the database hands out for a table, or "" when it hands out none.
QString AutoKeyColumn(const QString& table);

// The value as the column stores it: yes/no -1 or 0, whole numbers in range, text of at most
// 255 characters; a NULL text is "", a NULL number the column's default. Nothing, with the
// reason, when the value does not fit.
std::optional<QVariant> ConvertValue(const TargetColumn& column, const QVariant& value,
                                     QString* problem);
