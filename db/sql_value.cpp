#include "db/sql_value.h"

QString SqlValue::display() const {
    switch (kind_) {
        case Kind::Text:
            return QLatin1Char('\'') + value_.toString() + QLatin1Char('\'');
        case Kind::Number:
            return QString::number(value_.toLongLong());
        case Kind::YesNo:
            return value_.toInt() != 0 ? QStringLiteral("True") : QStringLiteral("False");
        case Kind::Null:
            break;
    }
    return QStringLiteral("Null");
}
