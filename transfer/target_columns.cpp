#include "transfer/target_columns.h"

#include "db/backend.h"
#include "db/new_installation.h"
#include "db/schema_names.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr qsizetype kMaxText = 255;

// Yes/no columns hold -1 or 0; the schema script shows them only as INTEGER.
const QStringList& YesNoColumns() {
    static const QStringList names = {
        "terminal_enabled", "alt_protocol_used", "alt_protocol",  "bts_used",
        "bts_eobdelay",     "bts_loop",          "bts_latency",   "init",
        "strip_1stpercent", "stop_Endpercent",   "strip_header",  "noparity_upload",
        "trim_percent",     "crlf_adj",          "upload_report", "explore_from_here"};
    return names;
}

// Numbers the program reads into 16-bit variables (qualified where a name is shared).
const QStringList& Number16Columns() {
    static const QStringList names = {"t_client_mode.cnc_comport",
                                      "t_client_terminal_mode.line_length",
                                      "t_client_terminal_mode.line_number",
                                      "t_client_terminal_mode.char_delay",
                                      "t_filter_table_down.strip_all",
                                      "t_filter_table_down.leader",
                                      "t_filter_table_down.trailer",
                                      "t_timeout_table_down.init_timeout",
                                      "t_timeout_table_down.interchar_timeout",
                                      "t_timeout_table_down.char_delay",
                                      "t_timeout_table_down.eob_delay",
                                      "t_timeout_table_down.char_buffer",
                                      "t_timeout_table_up.init_timeout",
                                      "t_timeout_table_up.up_timeout",
                                      "t_client_directory.dir_mode"};
    return names;
}

// "table.column" -> DEFAULT of the schema script (text or number).
const QHash<QString, QVariant>& Defaults() {
    static const QHash<QString, QVariant> defaults = [] {
        QHash<QString, QVariant> found;
        static const QRegularExpression table(QStringLiteral("CREATE TABLE (\\w+) \\(([^;]*)\\);"));
        static const QRegularExpression column(
            QStringLiteral("^\\s*(\\w+)\\s+\\w+.*DEFAULT\\s+('(?:[^']|'')*'|-?\\d+)"),
            QRegularExpression::MultilineOption);
        auto tables = table.globalMatch(SchemaScript());
        while (tables.hasNext()) {
            const auto t = tables.next();
            auto columns = column.globalMatch(t.captured(2));
            while (columns.hasNext()) {
                const auto c = columns.next();
                const QString value = c.captured(2);
                found.insert(t.captured(1) + QLatin1Char('.') + c.captured(1),
                             value.startsWith(QLatin1Char('\''))
                                 ? QVariant(value.mid(1, value.size() - 2).replace("''", "'"))
                                 : QVariant(value.toLongLong()));
            }
        }
        return found;
    }();
    return defaults;
}

bool IsTextColumn(const QString& table, const QString& column) {
    return Defaults().value(table + QLatin1Char('.') + column).typeId() == QMetaType::QString;
}

}  // namespace

QList<TargetColumn> TargetColumns(const QString& table) {
    QList<TargetColumn> columns;
    const auto name = SchemaTableName(table);
    if (!name) {
        return columns;
    }
    for (const QString& columnName : SchemaColumns(*name)) {
        TargetColumn column;
        column.name = columnName;
        const QString qualified = *name + QLatin1Char('.') + columnName;
        column.defaultValue = Defaults().value(qualified);
        if (IsTextColumn(*name, columnName)) {
            column.kind = TargetColumn::Kind::Text;
        } else if (YesNoColumns().contains(columnName)) {
            column.kind = TargetColumn::Kind::YesNo;
        } else if (Number16Columns().contains(qualified)) {
            column.kind = TargetColumn::Kind::Number16;
        } else {
            column.kind = TargetColumn::Kind::Number32;
        }
        columns << column;
    }
    return columns;
}

QString AutoKeyColumn(const QString& table) {
    return IdentityColumn(table);
}

std::optional<QVariant> ConvertValue(const TargetColumn& column, const QVariant& value,
                                     QString* problem) {
    const auto refuse = [problem](const QString& text) -> std::optional<QVariant> {
        if (problem) {
            *problem = text;
        }
        return std::nullopt;
    };
    const bool isNull = !value.isValid() || value.isNull();
    if (column.kind == TargetColumn::Kind::Text) {
        if (isNull) {
            return QVariant(QStringLiteral(""));
        }
        const QString text = value.typeId() == QMetaType::Bool
                                 ? QString::number(value.toBool() ? -1 : 0)
                                 : value.toString();
        if (text.size() > kMaxText) {
            return refuse(QStringLiteral("a text of %1 characters (at most %2 fit)")
                              .arg(text.size())
                              .arg(kMaxText));
        }
        return QVariant(text);
    }
    // A number column: NULL, or a text that is empty, takes the column's default.
    if (isNull || (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())) {
        if (!column.defaultValue.isValid()) {
            return refuse(QStringLiteral("no value, and the column has no default"));
        }
        return column.defaultValue;
    }
    qint64 number = 0;
    if (value.typeId() == QMetaType::Bool) {
        number = value.toBool() ? -1 : 0;
    } else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double real = value.toDouble();
        if (!std::isfinite(real) || real != std::trunc(real) || std::fabs(real) > 9.0e15) {
            return refuse(QStringLiteral("%1, which is not a whole number").arg(real));
        }
        number = qint64(real);
    } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int ||
               value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::Short ||
               value.typeId() == QMetaType::UShort || value.typeId() == QMetaType::UChar) {
        number = value.toLongLong();
    } else if (value.typeId() == QMetaType::ULongLong) {
        number = value.toULongLong() > quint64(INT64_MAX) ? INT64_MAX : value.toLongLong();
    } else {
        bool ok = false;
        number = value.toString().trimmed().toLongLong(&ok);
        if (!ok) {
            return refuse(QStringLiteral("\"%1\", which is not a number").arg(value.toString()));
        }
    }
    switch (column.kind) {
        case TargetColumn::Kind::YesNo:
            return QVariant(qint64(number != 0 ? -1 : 0));
        case TargetColumn::Kind::Number16:
            if (number < -32768 || number > 32767) {
                return refuse(
                    QStringLiteral("%1, outside the 16-bit range -32768 to 32767").arg(number));
            }
            return QVariant(number);
        case TargetColumn::Kind::Number32:
            if (number < -2147483648LL || number > 2147483647LL) {
                return refuse(QStringLiteral("%1, outside the 32-bit range").arg(number));
            }
            return QVariant(number);
        case TargetColumn::Kind::Text:
            break;
    }
    return QVariant(number);
}
