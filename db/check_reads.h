#pragma once
// The configuration as the configuration check reads it: whole tables in a few statements
// (over a network every statement is a round trip), grouped by the caller in memory. And
// the check's two repairs, each in one transaction.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct CheckServerRow {
    qint32 Id = 0;
    QString Name;
};

struct CheckClientRow {
    qint32 Id = 0;
    QString Name;
    qint32 ServerId = 0;
    QString NodeId;
    QString PortId;
    qint32 ProtocolId = 0;
    bool BtsUsed = false;
    QString BtsAddress;
    QString BtsPin;
};

struct CheckDirectoryRow {
    qint32 DirId = 0;
    qint32 ClientId = 0;
    QString Path;
    QString Alias;
    qint32 Mode = 0;
};

struct CheckData {
    bool Ok = false;  // false when a read failed (reported by the database layer)
    QList<CheckServerRow> Servers;
    QList<CheckClientRow> Clients;  // in client_id order
    QHash<qint32, QString> Protocols;
    // client_id of every row of each table a client must have rows in (the table's name is
    // the key); a client_id appears once per row.
    QHash<QString, QList<qint32>> DependentRows;
    QHash<qint32, qint32> ComPorts;  // client_id -> cnc_comport of its first mode row
    QList<qint32> RemoteRows;        // rem_client_id of every t_remote row
    QList<QPair<qint32, qint32>> ShopTerminalRows;  // shop_client_id, clients_id
    QList<CheckDirectoryRow> Directories;           // in dir_id order
};

// The tables in which every client has one row, in the order a client's rows are made.
const QStringList& ClientDependentTables();

// Reads the whole configuration: 13 statements, whatever its size.
CheckData ReadCheckData();

struct RepairDone {
    bool Ok = false;
    QStringList Changes;  // one line per table changed: "t_command: 1 row added"
};

// A repair of one client's rows.
struct RepairRequest {
    enum class Kind {
        // Adds the client's missing rows (holding only client_id, every other column its
        // default) to the named dependent tables. A table that has a row for the client by
        // now is left alone; nothing is added when the client no longer exists.
        AddMissingRows,
        // Removes every row a deleted client left behind (its dependent rows, directories,
        // remote row and shop-terminal listings); nothing when the client exists.
        RemoveLeftBehindRows,
    };
    Kind kind = Kind::AddMissingRows;
    qint32 clientId = 0;
    QStringList tables;  // AddMissingRows: the tables that lack a row
};

// One repair in one transaction.
RepairDone RepairMDB(const RepairRequest& request);
// Many repairs in one transaction (one commit: what a repair of many findings waits on).
// One result per request, in order (not Ok: nothing to do any more). Nothing when any
// statement failed: then nothing was changed, and the reports of the failure were dropped
// unless the connection was lost, so that each repair can be run alone and say for itself.
std::optional<QList<RepairDone>> RepairBatchMDB(const QList<RepairRequest>& requests);
