#include "db/protocol_names.h"

QString CompositeProtocolName(int protocolId) {
    if (protocolId >= 61 && protocolId <= 63) {
        return QStringLiteral("LINE TERMINAL");
    }
    if (protocolId >= 71 && protocolId <= 73) {
        return QStringLiteral("REMOTE");
    }
    if (protocolId >= 101 && protocolId <= 103) {
        return QStringLiteral("MAZATROL");
    }
    return QString();
}

ProtocolDisplay DisplayProtocol(const QString& protocol) {
    bool isNumber = false;
    const int id = protocol.trimmed().toInt(&isNumber);
    if (isNumber) {
        const QString composite = CompositeProtocolName(id);
        if (!composite.isEmpty()) {
            return {composite, id};
        }
    }
    const QString prefix = protocol.left(2);
    if (prefix == QLatin1String("NO") || prefix == QLatin1String("XO") ||
        prefix == QLatin1String("HW")) {
        return {QStringLiteral("STANDARD"), std::nullopt};
    }
    return {protocol, std::nullopt};
}

QString ProtocolDisplayName(const QString& protocol) {
    return DisplayProtocol(protocol).Name;
}
