// The shared lists the windows fill their boxes from, and the current client.

#include "db/backend.h"
#include "db/dnc_database.h"
#include "db/statement.h"

#include <QSqlQuery>

QString CurrentClientName;
qint32 CurrentClientId = 0;
qint32 CurrentServerId = 0;

QStringList ServerNames;
QList<ClientListEntry> ServerClients;
QList<ClientListEntry> AllClients;
QList<DirectoryRecord> ClientDirs;
QList<DirectoryRecord> TargetDirs;
QList<ServerClientRow> ServerClientTable;
QString ServerNodeId;

namespace {

const QString kSortedPrefix = QStringLiteral("Error 2#");
constexpr int kStepRun = 2;

// A list half read is no list: a failed read counts as -1, whatever it had handed on.
int RowsOrFailure(const RowsRead& read) {
    return read.ok ? read.rows : -1;
}

// Only the columns a list needs are fetched; the rows and their order are those of the
// sorted select.
int LoadNames(const QString& table, const QString& whereColumn, const SqlValue& value,
              const QString& op, const QString& nameColumn,
              const std::function<void(const QString&)>& add) {
    const std::optional<QString> sql =
        SortedSelectText(table, whereColumn, op, nameColumn, nameColumn, kSortedPrefix);
    if (!sql) {
        return -1;
    }
    return RowsOrFailure(
        ForEachRow(*sql, {value}, ReportAs{kSortedPrefix, kStepRun},
                   [&](const QSqlQuery& query) { add(query.value(0).toString()); }));
}

int LoadClientNames(QList<ClientListEntry>& list, const QString& op, qint32 serverId) {
    list.clear();
    const int rows = LoadNames(QStringLiteral("t_dnc_server_clients"),
                               QStringLiteral("dnc_server_id"), SqlValue::Number(serverId), op,
                               QStringLiteral("client_name"), [&list](const QString& name) {
                                   list.append(ClientListEntry{name, 0, 0});
                               });
    if (rows < 0) {
        list.clear();  // a part of the list would pass for all of it
    }
    return rows;
}

const QString kDirectoryColumns =
    QStringLiteral("dir_id, directory_direct, directory_alias, dir_mode, explore_from_here");

DirectoryRecord DirectoryFrom(const QSqlQuery& query) {
    DirectoryRecord record;
    ReadInt32(query.value(0), record.dir_id);
    ReadText(query.value(1), record.directory_direct);
    ReadText(query.value(2), record.directory_alias);
    ReadInt16(query.value(3), record.dir_mode);
    ReadYesNo(query.value(4), record.explore_from_here);
    return record;
}

int LoadDirs(QList<DirectoryRecord>& list, const QString& whereColumn, qint32 id,
             const QString& sortColumn, const QString& prefix) {
    list.clear();
    const std::optional<QString> sql =
        SortedSelectText(QStringLiteral("t_client_directory"), whereColumn, QStringLiteral("="),
                         sortColumn, kDirectoryColumns, prefix);
    if (!sql) {
        return -1;
    }
    const int rows = RowsOrFailure(
        ForEachRow(*sql, {SqlValue::Number(id)}, ReportAs{prefix, kStepRun},
                   [&list](const QSqlQuery& query) { list.append(DirectoryFrom(query)); }));
    if (rows < 0) {
        list.clear();
    }
    return rows;
}

}  // namespace

int LoadServerNames() {
    ServerNames.clear();
    const int rows = LoadNames(QStringLiteral("t_dnc_servers"), QStringLiteral("dnc_server_name"),
                               SqlValue::Text(QString()), QStringLiteral("<>"),
                               QStringLiteral("dnc_server_name"),
                               [](const QString& name) { ServerNames.append(name); });
    if (rows < 0) {
        ServerNames.clear();
    }
    return rows;
}

int LoadServerClientNames(qint32 serverId) {
    return LoadClientNames(ServerClients, QStringLiteral("="), serverId);
}

int LoadAllClientNames() {
    return LoadClientNames(AllClients, QStringLiteral(">"), 0);
}

int LoadClientDirs(qint32 clientId) {
    return LoadDirs(ClientDirs, QStringLiteral("client_id"), clientId,
                    QStringLiteral("directory_direct"), QStringLiteral("Error Client dirs"));
}

int LoadTargetDirs(qint32 clientId) {
    return LoadDirs(TargetDirs, QStringLiteral("client_id"), clientId,
                    QStringLiteral("directory_direct"), QStringLiteral("Error Target dirs"));
}

std::optional<QHash<qint32, QList<DirectoryRecord>>> LoadTargetDirsOf(
    const QList<qint32>& clientIds) {
    QHash<qint32, QList<DirectoryRecord>> dirs;
    if (clientIds.isEmpty()) {
        return dirs;
    }
    QStringList marks;
    QList<SqlValue> ids;
    for (const qint32 id : clientIds) {
        marks << QStringLiteral("?");
        ids << SqlValue::Number(id);
    }
    const QString table = QStringLiteral("t_client_directory");
    // Each client's rows in the order LoadTargetDirs reads them.
    const RowsRead read = ForEachRow(
        QStringLiteral("SELECT ") + kDirectoryColumns + QStringLiteral(", client_id FROM ") +
            table + QStringLiteral(" WHERE client_id IN (") + marks.join(QStringLiteral(", ")) +
            QStringLiteral(") ORDER BY directory_direct ASC, ") + RowOrderColumn(table),
        ids, ReportAs{QStringLiteral("Error Target dirs"), kStepRun},
        [&dirs](const QSqlQuery& query) {
            qint32 client = 0;
            ReadInt32(query.value(5), client);
            dirs[client].append(DirectoryFrom(query));
        });
    if (!read.ok) {
        return std::nullopt;
    }
    return dirs;
}

std::optional<DirectoryRecord> GetClientDirPropsMDB(qint32 dirId) {
    QList<DirectoryRecord> found;
    LoadDirs(found, QStringLiteral("dir_id"), dirId, QStringLiteral("directory_direct"),
             QStringLiteral("Error GetClientDirPropsMDB"));
    if (found.isEmpty()) {
        return std::nullopt;
    }
    return found.constFirst();
}

bool NameReadAsInvalidText(const QString& name) {
    return name.contains(QChar::ReplacementCharacter);
}

std::optional<QList<qint32>> ClientIdsOfNameAsRead(const QString& name) {
    QList<qint32> ids;
    // Every name is read and compared here: the database cannot be asked for text it holds
    // only as bytes.
    const RowsRead read =
        ForEachRow(QStringLiteral("SELECT client_id, client_name FROM t_dnc_server_clients "
                                  "ORDER BY client_id"),
                   {}, ReportAs{kSortedPrefix, kStepRun}, [&](const QSqlQuery& query) {
                       qint32 id = 0;
                       if (query.value(1).toString() == name && ReadInt32(query.value(0), id)) {
                           ids << id;
                       }
                   });
    if (!read.ok) {
        return std::nullopt;
    }
    return ids;
}

int IndexOfServerName(const QString& name) {
    return int(ServerNames.indexOf(name));
}

int IndexOfClientName(const QString& name) {
    for (qsizetype i = 0; i < AllClients.size(); ++i) {
        if (AllClients.at(i).ClientName == name) {
            return int(i);
        }
    }
    return -1;
}

void ResetDatabaseState() {
    CurrentClientName.clear();
    CurrentClientId = 0;
    CurrentServerId = 0;
    ServerNames.clear();
    ServerClients.clear();
    AllClients.clear();
    ClientDirs.clear();
    TargetDirs.clear();
    ServerClientTable.clear();
    ServerNodeId.clear();
}
