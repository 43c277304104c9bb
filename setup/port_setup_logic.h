#pragma once
// What the port setup window shows and saves, without widgets: the value lists, the port
// entries, the protocols offered, the protocol rules applied on OK and the save itself.

#include <QString>
#include <QStringList>

#include <optional>

// ---- Lists -----------------------------------------------------------------------------

QStringList BaudEntries();
QStringList DataBitsEntries();
QStringList ParityEntries();
QStringList StopBitsEntries();

extern const QString kNoComSet;  // "NO COM SET"

// "COM " and the number.
QString PortEntry(int port);
// "NO COM SET", then one entry per port number of the detected-ports text in its order, or
// the ports 1 to 99 when it names none. Pieces that are no port number are left out.
QStringList PortEntries(const QString& detectedPorts);
// The entry a stored port number shows: "NO COM SET" for 0.
QString StoredPortEntry(int port);
// The port number of an entry: the text after its first blank; 0 for "NO COM SET" or a text
// that is not among the entries.
int PortNumberOfEntry(const QString& text, const QStringList& entries);

// "E" shows "EVEN", "N" shows "NONE", anything else shows as stored.
QString ParityShown(const QString& stored);

// The protocol names the settings file offers, in their fixed order.
QStringList OfferedProtocols();

// ---- Protocol rules on OK --------------------------------------------------------------

struct CurrentProtocol {
    QString name;                    // display name ("STANDARD", "LINE TERMINAL", ...)
    std::optional<qint32> storedId;  // protocol_id as stored now
};

// The client's protocol as OK sees it: the display name of the mode record's protocol,
// with a stored composite code (61-63, 71-73, 101-103) read again from the database.
CurrentProtocol CurrentProtocolForOk(qint32 clientId, const QString& modeProtocol);

struct ProtocolRefusal {
    QString text;
    QString title;
};
// A client that left "STANDARD" keeps its protocol: any other choice is refused. An empty
// choice is no change and never refused.
std::optional<ProtocolRefusal> RefusalFor(const QString& current, const QString& chosen);

// ---- Save ------------------------------------------------------------------------------

// A list without a selection is nothing: its column keeps what it holds.
struct PortValues {
    std::optional<int> port;
    std::optional<QString> baud;
    std::optional<QString> parity;  // the letter
    std::optional<QString> dataBits;
    std::optional<QString> stopBits;
};

enum class PortSetupSave {
    Saved,
    ProtocolMissing,  // the chosen protocol has no t_protocol row: nothing written (shown)
    ClientGone,       // deleted by someone else since the window opened: nothing written
    Failed,           // a statement or the commit failed: nothing written (reported)
};

// The protocol change the choice asks for, the companion rows, the port settings and
// bts_eobdelay, all in one transaction.
PortSetupSave SavePortSetup(qint32 clientId, const CurrentProtocol& current, const QString& chosen,
                            const PortValues& values);
