#include "components/serial_line.h"

#include "base/app_state.h"
#include "base/inifile.h"
#include "components/qserial_line.h"

#include <QStringList>

std::optional<LineSettings> ParseLineSettings(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    LineSettings settings;
    bool ok = false;
    settings.baud = parts.at(0).trimmed().toInt(&ok);
    if (!ok || settings.baud <= 0) {
        return std::nullopt;
    }
    const QString parity = parts.at(1).trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NEOMS").contains(parity)) {
        return std::nullopt;
    }
    settings.parity = parity.at(0).toLatin1();
    settings.dataBits = parts.at(2).trimmed().toInt(&ok);
    if (!ok || settings.dataBits < 5 || settings.dataBits > 8) {
        return std::nullopt;
    }
    const QString stop = parts.at(3).trimmed();
    if (stop == QLatin1String("1")) {
        settings.stopBits = 1;
    } else if (stop == QLatin1String("2")) {
        settings.stopBits = 2;
    } else if (stop == QLatin1String("1.5")) {
        settings.stopBits = 15;
    } else {
        return std::nullopt;
    }
    return settings;
}

namespace {

SerialLineProvider*& Installed() {
    static SerialLineProvider* provider = nullptr;
    return provider;
}

}  // namespace

SerialLineProvider& CurrentSerialLines() {
    static SystemSerialLines system;
    return Installed() ? *Installed() : system;
}

SerialLineProvider* SetSerialLineProvider(SerialLineProvider* provider) {
    SerialLineProvider* previous = Installed() ? Installed() : &CurrentSerialLines();
    Installed() = provider;
    return previous;
}

int ComPortNumber(const QString& name) {
    QString text = name.trimmed().toUpper();
    if (text.startsWith(QLatin1String("COM"))) {
        text = text.mid(3).trimmed();
    }
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number > 0 ? number : 0;
}

namespace {

QString MappedDevice(int port) {
    if (SettingsFileName.isEmpty()) {
        return QString();
    }
    // Device paths are case-sensitive: the value is used as written.
    return ReadIniValue(SettingsFileName, QStringLiteral("COMPORTS"),
                        QStringLiteral("COM") + QString::number(port), QString())
        .trimmed();
}

}  // namespace

bool ComPortMapped(int port) {
    return !MappedDevice(port).isEmpty();
}

QString ComPortDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(port);
#else
    const QString mapped = MappedDevice(port);
    if (!mapped.isEmpty()) {
        return mapped;
    }
    return QStringLiteral("/dev/ttyS") + QString::number(port - 1);
#endif
}
