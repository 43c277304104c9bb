#pragma once
// The node and port identifiers of a server's clients: read for the list, and rewritten in
// one go.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct NodePortRow {
    QString ClientName;
    QString NodeId;
    QString Port;  // cnc_comport in decimal; empty when the client has no port row
    QString PortId;
    QString Bts;   // "ON" or "OFF"
    QString Chan;  // bts_loop, "ON" or "OFF"
};

// One row per named client that still exists, in the order given; empty names are passed over.
// Nothing when the clients could not be read (reported).
std::optional<QList<NodePortRow>> ReadNodePortRows(const QStringList& clientNames);

// A port number as a port identifier: at least three digits ("003", "012", "000").
QString PortIdText(qint16 port);

struct NodePortChange {
    int NodeIdsChanged = 0;
    int PortIdsChanged = 0;
    QStringList Skipped;  // "NAME: why"
    bool Committed = false;
};

// Gives every named client the node id (when it differs) and, when ports is true, the port
// id of its port number, all in one transaction. A client that no longer exists or has no
// port row is skipped; a failing statement is reported and the others still run.
NodePortChange SetNodePortIdsMDB(const QStringList& clientNames, const QString& nodeId, bool ports);
