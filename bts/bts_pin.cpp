#include "bts/bts_pin.h"

namespace {

constexpr qint64 kPinConstant = 63048215;

}  // namespace

QString GeneratePin(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("46120837");
    }
    // Each character becomes the hexadecimal digits of 255 minus its 8-bit code.
    const QByteArray codes = name.toUpper().toLatin1();
    QString hex;
    for (const char c : codes) {
        hex += QString::number(255 - uchar(c), 16).toUpper();
    }
    hex = hex.right(16);
    // The digits are read as a two's-complement number as wide as the digits themselves
    // (4 bits a digit): a leading digit of 8 or above makes it negative. "BE" is -66,
    // "7E" is 126, "F" is -1.
    const quint64 raw = hex.toULongLong(nullptr, 16);
    const int bits = int(hex.size()) * 4;
    qint64 value = 0;
    if (bits >= 64) {
        value = qint64(raw);
    } else if (raw & (quint64(1) << (bits - 1))) {
        value = qint64(raw) - qint64(quint64(1) << bits);
    } else {
        value = qint64(raw);
    }
    QString decimal = QString::number(value);
    const qsizetype minus = decimal.indexOf(QLatin1Char('-'));
    if (minus >= 0) {
        decimal = decimal.mid(minus + 1);
    }
    const qint64 n = decimal.right(8).toLongLong();
    return QString::number(n + kPinConstant).right(8);
}

QString ServerPin(const QString& serverName) {
    return GeneratePin(serverName);
}
