#pragma once
// Reading a Microsoft Access database file (Jet 3, Jet 4) with libmdb: its tables, their
// columns and every row, and the AutoNumber counter each table keeps in its definition.
// The file is opened read-only and never changed.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

struct AccessColumn {
    // How a column's values come out of the file.
    enum class Kind { YesNo, Integer, Real, Text, DateTime, Binary };
    QString name;
    Kind kind = Kind::Text;
    int type = 0;  // the Access type code (libmdb's MDB_*)
    int size = 0;  // bytes in a row (Text: twice the characters on Jet 4)
    bool autoNumber = false;
    QString TypeName() const;
};

struct AccessTable {
    QString name;
    QList<AccessColumn> columns;
    // One entry per column: bool for yes/no, qlonglong for whole numbers, double, QString
    // for text (a NULL text reads as "": libmdb does not tell the two apart), QByteArray for
    // binary; an invalid QVariant is NULL.
    QList<QVariantList> rows;
    // The last AutoNumber the table handed out, when it has an AutoNumber column.
    std::optional<qint64> lastAutoNumber;
};

class AccessFile {
public:
    AccessFile();
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    // Opens the file for reading; false with the reason when it is not an Access file, cannot
    // be read or is cut short.
    bool Open(const QString& path, QString* error);
    bool IsOpen() const;
    // "Jet 3", "Jet 4", "ACE 12" ...
    QString FormatName() const;
    // The user tables, in the order the file lists them.
    QStringList TableNames() const;
    // The table's columns, and its rows unless withRows is false. False with the reason when
    // the table is missing or its pages cannot be read (a damaged or truncated file).
    bool ReadTable(const QString& name, bool withRows, AccessTable* table, QString* error);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    QString path_;
};
