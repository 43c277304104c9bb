#pragma once
// The rows a query returned, read in full when the query ran. The recordset is closed
// (and its memory freed) when it goes out of scope.

#include <QSqlRecord>
#include <QVariant>
#include <QVector>

class Recordset {
public:
    Recordset() = default;
    explicit Recordset(QVector<QSqlRecord> rows) : rows_(std::move(rows)), open_(true) {}

    // False when the query failed (its error was reported).
    bool IsOpen() const { return open_; }
    int RecordCount() const { return int(rows_.size()); }
    bool IsEmpty() const { return rows_.isEmpty(); }
    const QSqlRecord& Row(int index) const { return rows_.at(index); }
    QVariant Field(int row, const QString& column) const { return rows_.at(row).value(column); }

    auto begin() const { return rows_.cbegin(); }
    auto end() const { return rows_.cend(); }

private:
    QVector<QSqlRecord> rows_;
    bool open_ = false;
};

// Reading typed values from a field. A NULL or unconvertible value leaves the target as it
// was and returns false, so a reader keeps the previous content of that field.
bool ReadText(const QVariant& field, QString& target);
bool ReadInt16(const QVariant& field, qint16& target);
bool ReadInt32(const QVariant& field, qint32& target);
// Yes/no: any non-zero number is true.
bool ReadYesNo(const QVariant& field, bool& target);
