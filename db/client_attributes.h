#pragma once
// A client's configuration held in memory as attribute records, read from the database.
// Every reader starts from an empty record: a table without a row for the client leaves its
// fields at their defaults and its Has...Row flag false, never another client's values.

#include "db/dnc_database.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

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

    bool HasModeRow = false;    // t_client_mode
    bool HasClientRow = false;  // t_dnc_server_clients
};

// Download direction, server to machine.
struct DownAttributesRecord {
    QString Protocol;  // protocol_id as stored
    qint16 init_timeout = 0;
    qint16 interchar_timeout = 0;
    qint16 char_delay = 0;
    qint16 eob_delay = 0;
    qint16 char_buffer = 0;
    bool init = false;
    bool strip_header = false;
    qint16 strip_all = 0;
    bool strip_1stpercent = false;
    bool stop_Endpercent = false;
    qint16 leader = 0;
    qint16 trailer = 0;
    QString start_file_char;
    QString end_file_char;

    bool HasFilterRow = false;   // t_filter_table_down
    bool HasTimeoutRow = false;  // t_timeout_table_down
    bool HasClientRow = false;
};

// Upload direction, machine to server.
struct UpAttributesRecord {
    bool noparity_upload = false;
    bool trim_percent = false;
    bool crlf_adj = false;
    QString start_file_char;
    QString end_file_char;
    QString filesave_mode;
    qint16 init_timeout = 0;
    qint16 up_timeout = 0;
    QString NODE_ID;
    QString PORT_ID;

    bool HasFilterRow = false;   // t_filter_table_up
    bool HasTimeoutRow = false;  // t_timeout_table_up
    bool HasClientRow = false;
};

struct TerminalAttributesRecord {
    qint16 line_length = 0;
    qint16 line_number = 0;
    qint16 char_delay = 0;
    bool terminal_enabled = false;

    bool HasTerminalRow = false;  // t_client_terminal_mode
    bool HasClientRow = false;
};

struct RemoteAttributesRecord {
    QString c_start_char;
    QString c_end_char;
    QString down_cmd_char;
    QString up_cmd_char;
    QString path_cmd_char;
    QString down_n_offset_char;
    QString redirect_cmd_char;
    QString kill_cmd_char;
    QString files_cmd_char;
    bool upload_report = false;
    QString report_name;
    bool terminal_enabled = false;
    bool alt_protocol_used = false;
    bool alt_protocol = false;
    bool bts_used = false;
    bool bts_eobdelay = false;
    QString bts_pin;
    QString bts_address;
    bool bts_loop = false;
    bool bts_latency = false;

    bool HasRemoteRow = false;  // t_remote
    bool HasClientRow = false;
};

extern ClientModeRecord CurrentClientMode;
extern ClientModeRecord ExportClientMode;
extern DownAttributesRecord DownAttributes;
extern UpAttributesRecord UpAttributes;
extern TerminalAttributesRecord TerminalAttributes;
extern RemoteAttributesRecord RemoteAttributes;

// Fill the record of the client with this id. Errors are reported with the reader's prefix
// ("Error Client Mode", "Error Client Clone Down Attributes", "Error Client Clone Up
// Attributes", "Error Term Attributes", "Error Remote Attributes").
void ReadClientMode(qint32 clientId);
void ReadExportClientMode(qint32 clientId);
void ReadDownAttributes(qint32 clientId);
void ReadUpAttributes(qint32 clientId);
void ReadTerminalAttributes(qint32 clientId);
void ReadRemoteAttributes(qint32 clientId);

// The same readers into a record of the caller's.
ClientModeRecord ClientModeOf(qint32 clientId);
DownAttributesRecord DownAttributesOf(qint32 clientId);
UpAttributesRecord UpAttributesOf(qint32 clientId);
TerminalAttributesRecord TerminalAttributesOf(qint32 clientId);
RemoteAttributesRecord RemoteAttributesOf(qint32 clientId);

// A client as the per-client readers see it, for lists of many clients.
struct NamedClient {
    ClientModeRecord Mode;  // as ClientModeOf(id)
    bool BtsUsed = false;   // as RemoteAttributesOf(id).bts_used and .bts_loop
    bool BtsLoop = false;
    QList<DirectoryRecord> Dirs;  // as LoadClientDirs(id), when asked for
};
using NamedClients = QHash<QString, NamedClient>;

// The first client of each name (the one GetClientID finds), read in a few statements for any
// number of names: on a database server every statement is a round trip. A name without a
// client is not in the result. Nothing when a statement failed (reported once).
std::optional<NamedClients> ClientsByName(const QStringList& names, bool withDirs);

// Whether the client is a shop terminal with listed clients. When it is, AllClients is rebuilt
// with one entry per listing: the listed client's name, shopterm_id and clients_id.
bool HasShopTermList(qint32 shopClientId);

// dir_id of CurrentClientId's directory with this path; an " Alias - " suffix of a stored
// path takes no part in the comparison. 0 when there is none.
qint32 GetDirID(const QString& path);

// Protocol groups of the copy.
constexpr qint32 kShopTerminalProtocol = 5;
bool IsTerminalGroup(qint32 protocolId);
bool IsRemoteGroup(qint32 protocolId);
