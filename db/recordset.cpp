#include "db/recordset.h"

#include <cmath>
#include <limits>
#include <optional>

Recordset::Recordset(QStringList columns, QVector<QVariant> values)
    : columns_(std::move(columns)), values_(std::move(values)), open_(true) {
    rows_ = columns_.isEmpty() ? 0 : int(values_.size() / columns_.size());
}

int Recordset::ColumnIndex(const QString& column) const {
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_.at(i).compare(column, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

QVariant Recordset::Field(int row, const QString& column) const {
    const int index = ColumnIndex(column);
    return index < 0 ? QVariant() : Field(row, index);
}

QVariant RecordsetRow::value(const QString& column) const {
    return set_->Field(row_, column);
}

const QVariant& RecordsetRow::value(int column) const {
    return set_->Field(row_, column);
}

int RecordsetRow::count() const {
    return set_->ColumnCount();
}

namespace {

bool IsNullField(const QVariant& field) {
    return !field.isValid() || field.isNull();
}

// A field as a whole number: integers as they are, fractions rounded half to even (as the
// program's integer conversion always did), numeric text likewise, yes/no as -1 or 0.
std::optional<qint64> WholeNumber(const QVariant& field) {
    if (IsNullField(field)) {
        return std::nullopt;
    }
    bool ok = false;
    switch (field.typeId()) {
        case QMetaType::Bool:
            return field.toBool() ? -1 : 0;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UInt:
        case QMetaType::UShort: {
            const qint64 value = field.toLongLong(&ok);
            return ok ? std::optional<qint64>(value) : std::nullopt;
        }
        default:
            break;
    }
    double number = 0;
    if (field.typeId() == QMetaType::Double || field.typeId() == QMetaType::Float) {
        number = field.toDouble(&ok);
    } else {
        const QString text = field.toString().trimmed();
        const qint64 whole = text.toLongLong(&ok);
        if (ok) {
            return whole;
        }
        number = text.toDouble(&ok);
    }
    if (!ok || !std::isfinite(number) || std::fabs(number) > 9.0e15) {
        return std::nullopt;
    }
    return qint64(std::nearbyint(number));
}

template <class T>
bool ReadWhole(const QVariant& field, T& target) {
    const std::optional<qint64> value = WholeNumber(field);
    if (!value || *value < std::numeric_limits<T>::min() ||
        *value > std::numeric_limits<T>::max()) {
        return false;
    }
    target = T(*value);
    return true;
}

}  // namespace

bool ReadText(const QVariant& field, QString& target) {
    if (IsNullField(field) || !field.canConvert<QString>()) {
        return false;
    }
    target = field.toString();
    return true;
}

bool ReadInt16(const QVariant& field, qint16& target) {
    return ReadWhole(field, target);
}

bool ReadInt32(const QVariant& field, qint32& target) {
    return ReadWhole(field, target);
}

bool ReadYesNo(const QVariant& field, bool& target) {
    if (IsNullField(field)) {
        return false;
    }
    if (field.typeId() == QMetaType::QString) {
        const QString text = field.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            target = true;
            return true;
        }
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            target = false;
            return true;
        }
    }
    bool ok = false;
    const double number = field.typeId() == QMetaType::QString
                              ? field.toString().trimmed().toDouble(&ok)
                              : field.toDouble(&ok);
    if (!ok || std::isnan(number)) {
        return false;
    }
    target = number != 0;
    return true;
}
