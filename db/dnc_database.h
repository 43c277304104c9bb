#pragma once
// Chief header of the configuration database: the connection, the statement builders and
// their error report, the shared lists, the checks and the server and client life cycle.
// Windows never open the database themselves; everything goes through here.

#include "components/database_connection.h"
#include "db/error_report.h"
#include "db/recordset.h"
#include "db/schema_names.h"
#include "db/sql_value.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// ---- The connection --------------------------------------------------------------------

// The one connection to DNC.mdb, opened at start-up and used by every statement.
extern DatabaseConnection DncConnection;

// ---- Statement builders ----------------------------------------------------------------
// Table, column and operator words must be schema names (checked); values are bound.
// A failing statement is reported with the builder's prefix and the builder returns what it
// has: an empty, closed recordset, "not found", or false.

// SELECT columns FROM table WHERE column op value, rows in stored order. columns is "*" or a
// comma list.
Recordset OpenSelectMDB(const QString& table, const QString& whereColumn, const SqlValue& value,
                        const QString& op, const QString& columns);
// SELECT * FROM table WHERE column op value ORDER BY sortColumn ASC (equal keys in stored
// order). A report uses prefix (the list builders pass their own).
Recordset OpenSortedSelectMDB(const QString& table, const QString& whereColumn,
                              const SqlValue& value, const QString& op, const QString& sortColumn,
                              const QString& errorPrefix = QStringLiteral("Error 2#"));
// The wanted column of the first row in stored order, or nothing when no row matches or the
// query failed (a NULL field is a found, null QVariant).
std::optional<QVariant> GetFieldValueMDB(const QString& table, const QString& whereColumn,
                                         const SqlValue& value, const QString& op,
                                         const QString& wantedColumn);
// INSERT INTO table (columns) VALUES (values). Returns whether the row was inserted.
bool InsertRecordMDB(const QString& table, const QStringList& columns,
                     const QList<SqlValue>& values);
// UPDATE table SET setColumn = setValue WHERE whereColumn = whereValue.
bool UpdateRecordsMDB(const QString& table, const QString& whereColumn, const SqlValue& whereValue,
                      const QString& setColumn, const SqlValue& setValue);
// The same, giving the number of rows changed (0 when none matched any more); nothing when it
// failed (reported).
std::optional<qint64> UpdateRecordsCountMDB(const QString& table, const QString& whereColumn,
                                            const SqlValue& whereValue, const QString& setColumn,
                                            const SqlValue& setValue);
// One column of the rows whose whereColumn holds one of the keys, in one statement; the rows
// changed, nothing when it failed (reported).
std::optional<qint64> UpdateRecordsInMDB(const QString& table, const QString& whereColumn,
                                         const QList<SqlValue>& keys, const QString& setColumn,
                                         const SqlValue& setValue);

enum class EditMode : qint16 {
    Ensure = 1,    // row found: key rewritten; no row: a row with only the key is added
    SetField = 2,  // row found: field = value; no row: nothing
    Delete = 3,    // row found: the first row is deleted; no row: nothing
};
// Acts on the first row (in stored order) whose key column equals the key. Only
// EditMode::SetField uses field and value.
void EditRecordMDB(const QString& table, const QString& keyColumn, const QString& keyText,
                   EditMode mode, const QString& field = QString(),
                   const SqlValue& value = SqlValue::Null());
void EditRecordByIdMDB(const QString& table, const QString& keyColumn, qint32 key, EditMode mode,
                       const QString& field = QString(), const SqlValue& value = SqlValue::Null());
// Deletes every row whose column equals value.
void DeleteRecordsMDB(const QString& table, const QString& column, const SqlValue& value);

// While one lives, a statement refused because the name is taken (a unique index: another
// administrator added that name a moment ago) is not reported; Seen() tells whether it
// happened, so the window can give its own refusal.
class NameClashWatch {
public:
    NameClashWatch();
    ~NameClashWatch();
    NameClashWatch(const NameClashWatch&) = delete;
    NameClashWatch& operator=(const NameClashWatch&) = delete;
    bool Seen() const;
};

// ---- Current client and shared lists ---------------------------------------------------

extern QString CurrentClientName;
extern qint32 CurrentClientId;
extern qint32 CurrentServerId;

struct ClientListEntry {
    QString ClientName;
    qint32 Field1 = 0;  // filled by the list's users (the shop-terminal reader: shopterm_id)
    qint32 Field2 = 0;  // (the shop-terminal reader: clients_id)
};

struct DirectoryRecord {
    qint32 dir_id = 0;
    QString directory_direct;
    QString directory_alias;
    qint16 dir_mode = 0;  // 1 download, 2 upload, 3 both
    bool explore_from_here = false;
};

struct ServerClientRow {
    QString ClientName;
    QString NodeId;
};

extern QStringList ServerNames;
extern QList<ClientListEntry> ServerClients;
extern QList<ClientListEntry> AllClients;
extern QList<DirectoryRecord> ClientDirs;
extern QList<DirectoryRecord> TargetDirs;
extern QList<ServerClientRow> ServerClientTable;
extern QString ServerNodeId;

// Each builder empties its list first. Each returns the number of rows its query found, or
// -1 when the query failed (reported); the list is then empty.
int LoadServerNames();
int LoadServerClientNames(qint32 serverId);
int LoadAllClientNames();
int LoadClientDirs(qint32 clientId);
int LoadTargetDirs(qint32 clientId);
// The directories of many clients in one read, each client's as LoadTargetDirs orders them;
// nothing when the read failed (reported).
std::optional<QHash<qint32, QList<DirectoryRecord>>> LoadTargetDirsOf(
    const QList<qint32>& clientIds);
std::optional<DirectoryRecord> GetClientDirPropsMDB(qint32 dirId);

// Whether a name, as read from the database, held bytes that are not valid text: they read
// as U+FFFD, so the name no longer finds its client.
bool NameReadAsInvalidText(const QString& name);
// The ids of the clients whose stored name reads as this text, the only way to find a client
// whose name is not valid text. Nothing when the read failed (reported).
std::optional<QList<qint32>> ClientIdsOfNameAsRead(const QString& name);

// Index of an exactly equal name in ServerNames / the client names of AllClients, or -1.
// The windows' SelectServerByName and SelectClientByName select it (index 0 when absent).
int IndexOfServerName(const QString& name);
int IndexOfClientName(const QString& name);

// ---- Look-ups and record life cycle ----------------------------------------------------

// dnc_server_id of the first server with this name; nothing when there is none, or when the
// look-up failed (reported; failed, when given, is then set true).
std::optional<qint32> GetServerID(const QString& serverName, bool* failed = nullptr);
// client_id of the first client with this name; nothing as GetServerID.
std::optional<qint32> GetClientID(const QString& clientName, bool* failed = nullptr);

void AddServer(const QString& serverName);
void DeleteServer(const QString& serverName);

// Creates the client row and its seven dependent rows in one transaction; the dependent rows
// take the id of the row just inserted. Stops (with a report) and returns false when the
// server is not found or the client row could not be inserted. A failing dependent row is
// reported, the others are still made, and the result is false.
bool AddClientMDB(const QString& clientName, const QString& serverName);
void RenameClientMDB(const QString& oldName, const QString& newName);
// Deletes the first client row with this name (only that row).
void DeleteClientMDB(const QString& clientName);
// The whole deletion as the client window runs it, in one transaction: the first client row
// with this name and every shop-terminal listing of that client. Its other rows stay.
// Returns false when the client was not found (nothing is shown) or the commit failed.
bool DeleteClientRecordsMDB(const QString& clientName);

// Inside a transaction, before writing a client's rows: whether its client row still exists,
// held (on the server) until the transaction ends, so another administrator cannot delete it
// half-way. Nothing when the look-up failed (reported).
std::optional<bool> ClientRowHeldMDB(qint32 clientId);
// Moves the client of this id to the target server, in one transaction and only while it is
// still on the source server. False when it is not (deleted, renamed or moved elsewhere
// meanwhile: nothing written); nothing when a statement failed (reported).
std::optional<bool> MoveClientRowMDB(qint32 clientId, qint32 fromServerId, qint32 toServerId);
// Says that the client was deleted (or renamed) by someone else since it was listed.
void ShowClientGone(const QString& clientName);

// CurrentServerId and CurrentClientId of CurrentClientName, then its mode record. Returns
// whether the client was found. Does nothing when CurrentClientName is empty; leaves the ids
// and the mode record when the client is not found.
bool ReadCurrentClientIds();

// Empties the shared lists and the current client (a test starts every case from here).
void ResetDatabaseState();

// ---- Checks ----------------------------------------------------------------------------

// -1 (with its message) when there is no server, this computer is not a server or it has no
// client; otherwise 0, with ServerNodeId set only when all its clients share one NODE_ID.
qint16 CheckServerConfig();

// Creates every missing folder of a drive path ("C:\A\B"); -1 (with its message) on failure.
qint16 CreateFolderPath(const QString& path);
