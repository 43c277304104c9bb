#include "transfer/access_file.h"

#include "transfer/access_header.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSet>

#include <mdbtools.h>

#include <vector>

namespace {

// Room for the longest value a column can hold: a memo of 65535 characters in UTF-8; any
// other value (a text of 255 characters, a number, a date) fits the small size.
constexpr size_t kLongBindSize = 3 * 65536 + 16;
constexpr size_t kBindSize = 4096;

AccessColumn::Kind KindOf(int type) {
    switch (type) {
        case MDB_BOOL:
            return AccessColumn::Kind::YesNo;
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
            return AccessColumn::Kind::Integer;
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_MONEY:
        case MDB_NUMERIC:
            return AccessColumn::Kind::Real;
        case MDB_TEXT:
        case MDB_MEMO:
        case MDB_REPID:
            return AccessColumn::Kind::Text;
        case MDB_DATETIME:
            return AccessColumn::Kind::DateTime;
        default:
            return AccessColumn::Kind::Binary;
    }
}

bool Fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

}  // namespace

QString AccessColumn::TypeName() const {
    switch (type) {
        case MDB_BOOL:
            return QStringLiteral("Yes/No");
        case MDB_BYTE:
            return QStringLiteral("Byte");
        case MDB_INT:
            return QStringLiteral("Integer");
        case MDB_LONGINT:
            return autoNumber ? QStringLiteral("AutoNumber") : QStringLiteral("Long Integer");
        case MDB_MONEY:
            return QStringLiteral("Currency");
        case MDB_FLOAT:
            return QStringLiteral("Single");
        case MDB_DOUBLE:
            return QStringLiteral("Double");
        case MDB_DATETIME:
            return QStringLiteral("Date/Time");
        case MDB_TEXT:
            return QStringLiteral("Text");
        case MDB_MEMO:
            return QStringLiteral("Memo");
        case MDB_OLE:
            return QStringLiteral("OLE Object");
        case MDB_REPID:
            return QStringLiteral("Replication ID");
        case MDB_NUMERIC:
            return QStringLiteral("Decimal");
        default:
            return QStringLiteral("type %1").arg(type);
    }
}

struct AccessFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb) {
            mdb_close(mdb);
        }
    }
};

AccessFile::AccessFile() = default;
AccessFile::~AccessFile() = default;

bool AccessFile::IsOpen() const {
    return handle_ && handle_->mdb;
}

bool AccessFile::Open(const QString& path, QString* error) {
    handle_.reset();
    path_ = path;
    const QFileInfo info(path);
    if (!info.isFile()) {
        return Fail(error, QStringLiteral("\"%1\" does not exist").arg(path));
    }
    if (!IsAccessFile(path)) {
        return Fail(error, QStringLiteral("\"%1\" is not a Microsoft Access database").arg(path));
    }
    // MDBOPTS switches on libmdb's debugging options, which print into the tools' own output
    // (and warn about options it no longer knows): the reader behaves the same everywhere.
    qunsetenv("MDBOPTS");
    auto handle = std::make_unique<Handle>();
    // Text comes out as UTF-8; a Jet 3 file's code page is taken from its header unless
    // MDB_JET3_CHARSET names one. An absolute path keeps libmdb from looking along MDBPATH.
    handle->mdb = mdb_open(QFile::encodeName(info.absoluteFilePath()).constData(), MDB_NOFLAGS);
    if (!handle->mdb) {
        return Fail(error, QStringLiteral("\"%1\" cannot be read as an Access database").arg(path));
    }
    MdbHandle* mdb = handle->mdb;
    const qint64 pageSize = mdb->fmt->pg_size;
    if (pageSize <= 0 || info.size() < 2 * pageSize || info.size() % pageSize != 0) {
        return Fail(error, QStringLiteral("\"%1\" is cut short: it ends inside a page").arg(path));
    }
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        return Fail(
            error,
            QStringLiteral("\"%1\" is damaged: its list of tables cannot be read").arg(path));
    }
    mdb_set_boolean_fmt_numbers(mdb);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    handle_ = std::move(handle);
    return true;
}

QString AccessFile::FormatName() const {
    if (!IsOpen()) {
        return QString();
    }
    switch (handle_->mdb->f->jet_version) {
        case MDB_VER_JET3:
            return QStringLiteral("Jet 3");
        case MDB_VER_JET4:
            return QStringLiteral("Jet 4");
        default:
            return QStringLiteral("ACE %1").arg(handle_->mdb->f->jet_version);
    }
}

QStringList AccessFile::TableNames() const {
    QStringList names;
    if (!IsOpen()) {
        return names;
    }
    MdbHandle* mdb = handle_->mdb;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
            names << QString::fromUtf8(entry->object_name);
        }
    }
    return names;
}

bool AccessFile::ReadTable(const QString& name, bool withRows, AccessTable* table, QString* error) {
    if (!IsOpen()) {
        return Fail(error, QStringLiteral("The Access file is not open"));
    }
    MdbHandle* mdb = handle_->mdb;
    MdbCatalogEntry* entry = nullptr;
    for (unsigned int i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (candidate->object_type == MDB_TABLE &&
            name.compare(QString::fromUtf8(candidate->object_name), Qt::CaseInsensitive) == 0) {
            entry = candidate;
        }
    }
    if (!entry) {
        return Fail(error, QStringLiteral("The Access file has no table %1").arg(name));
    }
    const QString damaged =
        QStringLiteral("\"%1\" is damaged or cut short: table %2 cannot be read completely")
            .arg(path_, name);

    // The definition page holds the row count and the last AutoNumber handed out; libmdb
    // does not pass the counter on, so it is read here, before the page buffer is reused.
    if (mdb_read_pg(mdb, entry->table_pg) != mdb->fmt->pg_size || mdb->pg_buf[0] != 0x02) {
        return Fail(error, damaged);
    }
    const int rowsOffset = mdb->fmt->tab_num_rows_offset;
    const qint64 storedRows = qint64(quint32(mdb_get_int32(mdb->pg_buf, rowsOffset)));
    const qint64 counter = qint64(qint32(mdb_get_int32(mdb->pg_buf, rowsOffset + 4)));

    MdbTableDef* def = mdb_read_table(entry);
    if (!def) {
        return Fail(error, damaged);
    }
    struct Free {
        MdbTableDef* def;
        ~Free() { mdb_free_tabledef(def); }
    } freeDef{def};
    if (!mdb_read_columns(def)) {
        return Fail(error, damaged);
    }

    AccessTable result;
    result.name = QString::fromUtf8(def->name);
    bool hasAutoNumber = false;
    for (unsigned int i = 0; i < def->num_cols; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        AccessColumn column;
        column.name = QString::fromUtf8(col->name);
        column.type = col->col_type;
        column.kind = KindOf(col->col_type);
        column.size = col->col_size;
        column.autoNumber = col->is_long_auto != 0;
        hasAutoNumber = hasAutoNumber || column.autoNumber;
        result.columns << column;
    }
    if (hasAutoNumber) {
        result.lastAutoNumber = counter;
    }

    if (withRows) {
        const qsizetype count = result.columns.size();
        bool hasLongValues = false;
        for (const AccessColumn& column : result.columns) {
            hasLongValues = hasLongValues || column.type == MDB_MEMO || column.type == MDB_OLE;
        }
        // libmdb fills a bound buffer up to the handle's bind size.
        const size_t bindSize = hasLongValues ? kLongBindSize : kBindSize;
        mdb_set_bind_size(mdb, bindSize);
        std::vector<std::vector<char>> buffers(static_cast<size_t>(count));
        for (auto& buffer : buffers) {
            buffer.resize(bindSize);
        }
        std::vector<int> lengths(size_t(count), 0);
        for (qsizetype i = 0; i < count; ++i) {
            mdb_bind_column(def, int(i) + 1, buffers[size_t(i)].data(), &lengths[size_t(i)]);
        }
        mdb_rewind_table(def);
        // Where each row stands in the file, and each page's bytes: a damaged page chain
        // hands the same rows over again (a slot or a whole page twice), and a table read so
        // would pass for a complete one.
        QSet<quint64> seen;
        QSet<QByteArray> pages;
        quint32 page = 0;
        while (mdb_fetch_row(def)) {
            int start = 0;
            size_t length = 0;
            const int slot = int(def->cur_row) - 1;
            const bool found = slot >= 0 && mdb_find_row(mdb, slot, &start, &length) == 0;
            // The row's offset in its page, without the flag bits above it.
            const quint64 place = (quint64(def->cur_phys_pg) << 16) | quint64(start & 0x1FFF);
            bool again = !found || seen.contains(place);
            if (!again && def->cur_phys_pg != page) {
                page = def->cur_phys_pg;
                const QByteArray bytes(reinterpret_cast<const char*>(mdb->pg_buf),
                                       mdb->fmt->pg_size);
                const QByteArray digest =
                    QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
                again = pages.contains(digest);
                pages.insert(digest);
            }
            if (again) {
                return Fail(error, QStringLiteral("\"%1\" is damaged: table %2 hands over the "
                                                  "same rows twice (a damaged page chain)")
                                       .arg(path_, name));
            }
            seen.insert(place);
            QVariantList row;
            row.reserve(count);
            for (qsizetype i = 0; i < count; ++i) {
                const char* data = buffers[size_t(i)].data();
                const int length = lengths[size_t(i)];
                const QByteArray bytes(data, length);
                switch (result.columns.at(i).kind) {
                    case AccessColumn::Kind::YesNo:
                        // A yes/no is never NULL in Jet: it lives in the row's null mask.
                        row << QVariant(length > 0 && bytes != "0");
                        break;
                    case AccessColumn::Kind::Integer: {
                        bool ok = false;
                        const qlonglong number = bytes.toLongLong(&ok);
                        row << (length > 0 && ok ? QVariant(number) : QVariant());
                        break;
                    }
                    case AccessColumn::Kind::Real: {
                        bool ok = false;
                        QByteArray text = bytes;
                        double number = text.toDouble(&ok);
                        if (!ok) {  // written under a locale with a decimal comma
                            number = text.replace(',', '.').toDouble(&ok);
                        }
                        row << (length > 0 && ok ? QVariant(number) : QVariant());
                        break;
                    }
                    case AccessColumn::Kind::Text:
                    case AccessColumn::Kind::DateTime:
                        row << (length > 0 || result.columns.at(i).kind == AccessColumn::Kind::Text
                                    ? QVariant(QString::fromUtf8(bytes))
                                    : QVariant());
                        break;
                    case AccessColumn::Kind::Binary:
                        row << (length > 0 ? QVariant(bytes) : QVariant());
                        break;
                }
            }
            result.rows << row;
        }
        // Rows on pages that cannot be read are silently left out by libmdb; the count in
        // the definition tells.
        if (result.rows.size() > storedRows) {
            return Fail(error, QStringLiteral("\"%1\" is damaged: table %2 gave %3 rows where "
                                              "it holds %4")
                                   .arg(path_, name)
                                   .arg(result.rows.size())
                                   .arg(storedRows));
        }
        if (result.rows.size() < storedRows) {
            return Fail(error, damaged + QStringLiteral(" (%1 of its %2 rows read)")
                                             .arg(result.rows.size())
                                             .arg(storedRows));
        }
    }
    *table = std::move(result);
    return true;
}
