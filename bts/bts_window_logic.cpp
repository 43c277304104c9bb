#include "bts/bts_window_logic.h"

#include "db/dnc_database.h"

namespace {

const QString kClients = QStringLiteral("t_dnc_server_clients");
const QString kClientId = QStringLiteral("client_id");

struct NamedMode {
    const char* entry;
    int mode;
    const char* labelToolTip;
    const char* labelCaption;
};

// The modes in list order; the combo tooltip and the button follow from the entry.
const NamedMode kNamedModes[] = {
    {"BTS OFF", BtsModes::kOff, "Turn the BTS function OFF this client", "SET BTS 'OFF' MODE:"},
    {"BTS ON", BtsModes::kOn, "Turn the BTS function ON this client", "SET BTS 'ON' MODE:"},
    {"BTS ECHO OFF", BtsModes::kEchoOff, "Turn the BTS echo function OFF this client",
     "SET BTS ECHO 'OFF' MODE:"},
    {"BTS ECHO ON", BtsModes::kEchoOn, "Turn the BTS echo function ON this client",
     "SET BTS ECHO 'ON' MODE:"},
    {"DISCOVER OFF", BtsModes::kDiscoverOff, "Turn DISCOVER OFF connected BTS device",
     "SET DISCOVER 'OFF' MODE:"},
    {"DISCOVER ON", BtsModes::kDiscoverOn, "Turn DISCOVER ON connected BTS device",
     "SET DISCOVER 'ON' MODE:"},
    {"CHANNEL OFF", BtsModes::kChannelOff, "Turn CHANNEL OFF connected BTS device",
     "SET CHANNEL 'OFF' MODE:"},
    {"CHANNEL ON", BtsModes::kChannelOn, "Turn CHANNEL ON connected BTS device",
     "SET CHANNEL 'ON' MODE:"},
    {"LATENCY OFF", BtsModes::kLatencyOff, "Turn LATENCY OFF connected BTS device",
     "SET LATENCY 'OFF' MODE:"},
    {"LATENCY ON", BtsModes::kLatencyOn, "Turn LATENCY ON connected BTS device",
     "SET LATENCY 'ON' MODE:"},
    {"VERIFY BTS", BtsModes::kVerify, "Verify the connected BTS device settings",
     "VERIFY BTS SETTINGS:"},
};

const NamedMode kDeleteMode = {"BTS DELETE", BtsModes::kDelete,
                               "Delete ALL BTS settings from this client",
                               "SET BTS 'DELETE' MODE:"};

BtsModeEntry FromNamed(const NamedMode& named) {
    const QString entry = QLatin1String(named.entry);
    return {named.mode, QLatin1String(named.labelToolTip), QLatin1String(named.labelCaption),
            QStringLiteral("Click '") + entry + QStringLiteral("' button:"), entry};
}

bool Update(qint32 clientId, const QString& table, const QString& column, const SqlValue& value) {
    return UpdateRecordsMDB(table, kClientId, SqlValue::Number(clientId), column, value);
}

bool UpdateClient(qint32 clientId, const QString& column, const SqlValue& value) {
    return Update(clientId, kClients, column, value);
}

}  // namespace

QStringList BtsPortsEntries() {
    QStringList entries;
    for (const NamedMode& named : kNamedModes) {
        entries << QLatin1String(named.entry);
    }
    entries << QStringLiteral("DEFAULT COM");
    for (int port = 1; port <= 99; ++port) {
        entries << QStringLiteral("COM ") + QString::number(port);
    }
    entries << QLatin1String(kDeleteMode.entry);
    return entries;
}

BtsModeEntry BtsModeFor(const QString& entry) {
    for (const NamedMode& named : kNamedModes) {
        if (entry == QLatin1String(named.entry)) {
            return FromNamed(named);
        }
    }
    if (entry == QLatin1String(kDeleteMode.entry)) {
        return FromNamed(kDeleteMode);
    }
    const QString port = QStringLiteral("Select com port to config BTS device on:");
    return {BtsModes::kDeviceConfig, port, QStringLiteral("BTS configuration com port:"), port,
            QStringLiteral("BTS DEVICE CONFIG.")};
}

QString BtsPortEntryText(const QString& port) {
    const qint16 number = BtsComPortNumber(port);
    return number >= 1 && number <= 99 ? QStringLiteral("COM ") + QString::number(number)
                                       : QString();
}

qint16 BtsComPortNumber(const QString& port) {
    const QString text = port.trimmed().toUpper();
    if (!text.startsWith(QLatin1String("COM"))) {
        return 0;
    }
    bool ok = false;
    const int number = text.mid(3).trimmed().toInt(&ok);
    return ok && number > 0 && number <= 32767 ? qint16(number) : qint16(0);
}

std::optional<BtsClientAttributes> ReadBtsClientAttributes(qint32 clientId) {
    const Recordset client = OpenSelectMDB(kClients, kClientId, SqlValue::Number(clientId),
                                           QStringLiteral("="), QStringLiteral("*"));
    if (client.IsEmpty()) {
        return std::nullopt;
    }
    BtsClientAttributes a;
    ReadYesNo(client.Field(0, QStringLiteral("bts_used")), a.bts_used);
    ReadYesNo(client.Field(0, QStringLiteral("bts_eobdelay")), a.bts_eobdelay);
    ReadYesNo(client.Field(0, QStringLiteral("bts_loop")), a.bts_loop);
    ReadYesNo(client.Field(0, QStringLiteral("bts_latency")), a.bts_latency);
    ReadText(client.Field(0, QStringLiteral("bts_address")), a.bts_address);
    ReadText(client.Field(0, QStringLiteral("bts_pin")), a.bts_pin);
    ReadInt32(client.Field(0, QStringLiteral("protocol_id")), a.protocol_id);
    const Recordset down =
        OpenSelectMDB(QStringLiteral("t_timeout_table_down"), kClientId, SqlValue::Number(clientId),
                      QStringLiteral("="), QStringLiteral("*"));
    if (!down.IsEmpty()) {
        ReadInt32(down.Field(0, QStringLiteral("eob_delay")), a.eob_delay);
        ReadInt16(down.Field(0, QStringLiteral("char_buffer")), a.char_buffer);
    }
    return a;
}

QString BtsProtocolText(qint32 protocolId, const QString& protocolName) {
    if (protocolId >= 1 && protocolId <= 5) {
        return protocolName;
    }
    static const char* const kFlow[] = {"NONE", "XON", "HW"};
    const auto composite = [protocolId](int first, const char* prefix) {
        return QString::fromLatin1(prefix) + QLatin1Char(' ') +
               QLatin1String(kFlow[protocolId - first]);
    };
    if (protocolId >= 61 && protocolId <= 63) {
        return composite(61, "LT");
    }
    if (protocolId >= 71 && protocolId <= 73) {
        return composite(71, "REM");
    }
    if (protocolId >= 101 && protocolId <= 103) {
        return composite(101, "MAZ");
    }
    return QString();
}

BtsAttributeLabels BtsAttributeLabelTexts(const BtsClientAttributes& a, const QString& pinInUse) {
    const auto onOff = [](bool on) { return on ? QStringLiteral("ON") : QStringLiteral("OFF"); };
    const QString notAssigned = QStringLiteral("Not assigned");
    BtsAttributeLabels labels;
    labels.enabled = QStringLiteral("BTS Enabled: ") + onOff(a.bts_used);
    labels.loop = QStringLiteral("CHANNEL Enabled: ") + onOff(a.bts_loop);
    labels.latency = QStringLiteral("LATENCY Enabled: ") + onOff(a.bts_latency);
    labels.address =
        QStringLiteral("ADDR: ") + (a.bts_address.isEmpty() ? notAssigned : a.bts_address);
    labels.pinVisible = a.bts_pin != pinInUse;
    labels.pin = QStringLiteral("BTS PIN: ") + (a.bts_pin.isEmpty() ? notAssigned : a.bts_pin);
    return labels;
}

bool StoreBtsOff(qint32 clientId) {
    const bool used = UpdateClient(clientId, QStringLiteral("bts_used"), SqlValue::YesNo(false));
    const bool eob = UpdateClient(clientId, QStringLiteral("bts_eobdelay"), SqlValue::YesNo(false));
    return used && eob;
}

bool StoreBtsOn(qint32 clientId, qint32 eobDelay) {
    const bool used = UpdateClient(clientId, QStringLiteral("bts_used"), SqlValue::YesNo(true));
    const bool eob =
        UpdateClient(clientId, QStringLiteral("bts_eobdelay"), SqlValue::YesNo(eobDelay == 0));
    return used && eob;
}

bool StoreBtsDelete(qint32 clientId) {
    bool ok = true;
    for (const char* column : {"bts_used", "bts_eobdelay", "bts_loop", "bts_latency"}) {
        ok &= UpdateClient(clientId, QLatin1String(column), SqlValue::YesNo(false));
    }
    ok &= StoreBtsComPort(clientId, 0);
    ok &= StoreBtsAddressAndPin(clientId, QString(), QString());
    return ok;
}

bool StoreBtsLoop(qint32 clientId, bool on) {
    return UpdateClient(clientId, QStringLiteral("bts_loop"), SqlValue::YesNo(on));
}

bool StoreBtsLatency(qint32 clientId, bool on) {
    return UpdateClient(clientId, QStringLiteral("bts_latency"), SqlValue::YesNo(on));
}

bool StoreBtsComPort(qint32 clientId, qint16 port) {
    return Update(clientId, QStringLiteral("t_client_mode"), QStringLiteral("cnc_comport"),
                  SqlValue::Number(port));
}

bool StoreBtsAddressAndPin(qint32 clientId, const QString& address, const QString& pin) {
    const bool a = UpdateClient(clientId, QStringLiteral("bts_address"), SqlValue::Text(address));
    const bool p = UpdateClient(clientId, QStringLiteral("bts_pin"), SqlValue::Text(pin));
    return a && p;
}
