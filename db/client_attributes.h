#pragma once
// A client's configuration held in memory as attribute records, read from the database.

#include <QString>

struct ClientModeRecord {
    qint32 ClientId = 0;
    qint32 ServerId = 0;
    QString ServerName;
    QString ClientName;
    QString NodeId;
    QString PortId;
    QString DetectedPorts;    // com_ports
    QString ProtocolLibrary;  // t_protocol.protocol_dll
    QString Protocol;         // protocol_id, replaced by protocol_name when t_protocol has it
    qint16 PortNumber = 0;    // cnc_comport
    QString Baud;
    QString Parity;
    QString DataBits;
    QString StopBits;
};

extern ClientModeRecord CurrentClientMode;
extern ClientModeRecord ExportClientMode;

// Fill the record of the client with this id. A table without a row for the client leaves
// its fields as they were. Errors are reported with "Error Client Mode".
void ReadClientMode(qint32 clientId);
void ReadExportClientMode(qint32 clientId);
