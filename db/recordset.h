#pragma once
// The rows a query returned, read in full when the query ran. Values are kept in one block,
// row after row; the column names once. The recordset is closed (and its memory freed) when
// it goes out of scope.

#include <QStringList>
#include <QVariant>
#include <QVector>

class Recordset;

// One row of a recordset, read by column name (letter case ignored) or position.
class RecordsetRow {
public:
    RecordsetRow(const Recordset* set, int row) : set_(set), row_(row) {}
    QVariant value(const QString& column) const;
    const QVariant& value(int column) const;
    bool isNull(const QString& column) const { return value(column).isNull(); }
    int count() const;

    RecordsetRow& operator++() {
        ++row_;
        return *this;
    }
    const RecordsetRow& operator*() const { return *this; }
    bool operator==(const RecordsetRow& other) const { return row_ == other.row_; }
    bool operator!=(const RecordsetRow& other) const { return row_ != other.row_; }

private:
    const Recordset* set_;
    int row_;
};

class Recordset {
public:
    Recordset() = default;
    Recordset(QStringList columns, QVector<QVariant> values);

    // False when the query failed (its error was reported).
    bool IsOpen() const { return open_; }
    int RecordCount() const { return rows_; }
    bool IsEmpty() const { return rows_ == 0; }
    int ColumnCount() const { return int(columns_.size()); }
    const QStringList& Columns() const { return columns_; }
    // Position of a column (letter case ignored), -1 when the query did not return it.
    int ColumnIndex(const QString& column) const;

    RecordsetRow Row(int index) const { return RecordsetRow(this, index); }
    // An invalid QVariant when the column is not in the recordset.
    QVariant Field(int row, const QString& column) const;
    const QVariant& Field(int row, int column) const {
        return values_.at(qsizetype(row) * columns_.size() + column);
    }

    RecordsetRow begin() const { return RecordsetRow(this, 0); }
    RecordsetRow end() const { return RecordsetRow(this, rows_); }

private:
    QStringList columns_;
    QVector<QVariant> values_;
    int rows_ = 0;
    bool open_ = false;
};

// Reading typed values from a field. A NULL or unconvertible value leaves the target as it
// was and returns false, so a reader keeps the previous content of that field.
bool ReadText(const QVariant& field, QString& target);
bool ReadInt16(const QVariant& field, qint16& target);
bool ReadInt32(const QVariant& field, qint32& target);
// Yes/no: any non-zero number is true.
bool ReadYesNo(const QVariant& field, bool& target);
