#pragma once
// What the BTS window shows and stores, without widgets: the entries of its mode list and
// what each sets, the client's BTS attributes and the texts of its labels, and the
// database columns each mode writes.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Mode numbers of the mode list; they are not the entries' positions.
namespace BtsModes {
constexpr int kOff = 0;
constexpr int kOn = 1;
constexpr int kDeviceConfig = 2;
constexpr int kDiscoverOn = 3;
constexpr int kDiscoverOff = 4;
constexpr int kNone = 5;
constexpr int kVerify = 6;
constexpr int kDelete = 7;
constexpr int kChannelOn = 8;
constexpr int kChannelOff = 9;
constexpr int kLatencyOn = 10;
constexpr int kLatencyOff = 11;
constexpr int kEchoOff = 12;
constexpr int kEchoOn = 13;
}  // namespace BtsModes

struct BtsModeEntry {
    int mode = BtsModes::kDeviceConfig;
    QString labelToolTip;
    QString labelCaption;
    QString comboToolTip;
    QString buttonCaption;
};

// The entries of cboPorts in list order: the modes, "DEFAULT COM", "COM 1" to "COM 99",
// "BTS DELETE".
QStringList BtsPortsEntries();
// What choosing the entry sets; a port entry (or "DEFAULT COM") is the device configuration.
BtsModeEntry BtsModeFor(const QString& entry);
// "COM 5" for "COM5" or "COM 5"; empty when the text names no port from 1 to 99.
QString BtsPortEntryText(const QString& port);

// The client's BTS and download attributes as stored.
struct BtsClientAttributes {
    bool bts_used = false;
    bool bts_eobdelay = false;
    bool bts_loop = false;
    bool bts_latency = false;
    QString bts_address;
    QString bts_pin;
    qint32 protocol_id = 0;
    qint32 eob_delay = 0;
    qint16 char_buffer = 0;
};

// Read from the database; nothing when the client's row is not there.
std::optional<BtsClientAttributes> ReadBtsClientAttributes(qint32 clientId);

// The protocol as the BTS window shows it: the stored name for ids 1 to 5, a short form for
// the composite ids (61 "LT NONE" ... 103 "MAZ HW"), nothing for any other id.
QString BtsProtocolText(qint32 protocolId, const QString& protocolName);

// The label texts of the client's attributes. pinInUse is the PIN the adapter gets.
struct BtsAttributeLabels {
    QString enabled;
    QString loop;
    QString latency;
    QString address;
    QString pin;
    bool pinVisible = true;
};
BtsAttributeLabels BtsAttributeLabelTexts(const BtsClientAttributes& attributes,
                                          const QString& pinInUse);

// The database writes of the modes that change the client's columns, one column per
// statement; each returns whether every statement succeeded.
bool StoreBtsOff(qint32 clientId);
bool StoreBtsOn(qint32 clientId, qint32 eobDelay);
bool StoreBtsDelete(qint32 clientId);
bool StoreBtsLoop(qint32 clientId, bool on);
bool StoreBtsLatency(qint32 clientId, bool on);
// What the Bluetooth assistant records at its end.
bool StoreBtsComPort(qint32 clientId, qint16 port);
bool StoreBtsAddressAndPin(qint32 clientId, const QString& address, const QString& pin);

// The number after "COM" in "COM7" (0 when there is none).
qint16 BtsComPortNumber(const QString& port);
