#include "db/client_directories.h"

#include "db/change_log.h"
#include "db/statement.h"

namespace {

const QString kDirectories = QStringLiteral("t_client_directory");
const QString kAddPrefix = QStringLiteral("Error AddDirMDB");
const QString kDeletePrefix = QStringLiteral("Error DeleteDirMDB");
const QString kAliasPrefix = QStringLiteral("Error CheckAliasIsUnique");
const QString kSavePrefix = QStringLiteral("Error SaveDirPropsMDB");

}  // namespace

bool SameDirectoryPath(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::optional<DirectoryRecord> FindClientDirectory(qint32 clientId, const QString& path) {
    const Recordset rows =
        OpenSelectMDB(kDirectories, QStringLiteral("client_id"), SqlValue::Number(clientId),
                      QStringLiteral("="), QStringLiteral("dir_id, directory_direct"));
    for (const RecordsetRow& row : rows) {
        QString stored;
        ReadText(row.value(QStringLiteral("directory_direct")), stored);
        qint32 dirId = 0;
        if (SameDirectoryPath(stored, path) &&
            ReadInt32(row.value(QStringLiteral("dir_id")), dirId)) {
            return GetClientDirPropsMDB(dirId);
        }
    }
    return std::nullopt;
}

std::optional<qint32> AddDirMDB(qint32 clientId, const QString& path, bool* clientGone) {
    if (clientGone) {
        *clientGone = false;
    }
    DeferredReports reports;
    Transaction transaction(ReportAs{kAddPrefix, 1});
    if (!transaction.Begun()) {
        return std::nullopt;
    }
    // The rows of a deleted client outlive it: a directory added to one would go nowhere.
    const std::optional<bool> held = ClientRowHeldMDB(clientId);
    if (!held || !*held) {
        if (held && clientGone) {
            *clientGone = true;
        }
        return std::nullopt;
    }
    const std::optional<CommandDone> done =
        InsertRow(kDirectories, {QStringLiteral("client_id"), QStringLiteral("directory_direct")},
                  {SqlValue::Number(clientId), SqlValue::Text(path)}, ReportAs{kAddPrefix, 1});
    qint32 dirId = 0;
    if (!done || !ReadInt32(done->lastInsertId, dirId) ||
        !transaction.Commit(ReportAs{kAddPrefix, 2})) {
        return std::nullopt;
    }
    return dirId;
}

int DeleteDirMDB(qint32 clientId, const QString& path) {
    const Recordset rows =
        SelectRows(QStringLiteral("SELECT dir_id, directory_direct FROM t_client_directory "
                                  "WHERE client_id = ? ORDER BY dir_id"),
                   {SqlValue::Number(clientId)}, ReportAs{kDeletePrefix, 1});
    QList<qint32> doomed;
    for (const RecordsetRow& row : rows) {
        QString stored;
        qint32 dirId = 0;
        ReadText(row.value(1), stored);
        if (SameDirectoryPath(stored, path) && ReadInt32(row.value(0), dirId)) {
            doomed << dirId;
        }
    }
    if (doomed.isEmpty()) {
        return 0;
    }
    DeferredReports reports;
    Transaction transaction(ReportAs{kDeletePrefix, 2});
    if (!transaction.Begun()) {
        return 0;
    }
    int deleted = 0;
    for (qint32 dirId : doomed) {
        const std::optional<CommandDone> done = RunLoggedCommand(
            TableWrite::Delete(kDirectories, QStringLiteral("dir_id"), SqlValue::Number(dirId)),
            QStringLiteral("DELETE FROM t_client_directory WHERE dir_id = ?"),
            {SqlValue::Number(dirId)}, ReportAs{kDeletePrefix, 3});
        if (!done) {
            return 0;  // rolled back: all rows of the path or none
        }
        deleted += int(done->rowsAffected);
    }
    return transaction.Commit(ReportAs{kDeletePrefix, 4}) ? deleted : 0;
}

bool CheckAliasIsUnique(qint32 clientId, const QString& alias, qint32 ownDirId) {
    const Recordset rows =
        SelectRows(QStringLiteral("SELECT dir_id, directory_alias FROM t_client_directory "
                                  "WHERE client_id = ? ORDER BY dir_id"),
                   {SqlValue::Number(clientId)}, ReportAs{kAliasPrefix, 1});
    if (!rows.IsOpen()) {
        return false;
    }
    for (const RecordsetRow& row : rows) {
        QString stored;
        qint32 dirId = 0;
        ReadText(row.value(1), stored);
        ReadInt32(row.value(0), dirId);
        if (dirId != ownDirId && stored.compare(alias, Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return true;
}

bool SaveDirPropsMDB(qint32 dirId, qint16 mode, const std::optional<QString>& alias,
                     bool exploreFromHere) {
    DeferredReports reports;
    Transaction transaction(ReportAs{kSavePrefix, 1});
    if (!transaction.Begun()) {
        return false;
    }
    const QString sql = QStringLiteral("UPDATE t_client_directory SET %1 = ? WHERE dir_id = ?");
    const SqlValue key = SqlValue::Number(dirId);
    const auto set = [&](const QString& column, const SqlValue& value, int step) {
        return RunLoggedCommand(TableWrite::Update(kDirectories, QStringLiteral("dir_id"), key,
                                                   {column}, {value}),
                                sql.arg(column), {value, key}, ReportAs{kSavePrefix, step})
            .has_value();
    };
    bool stored = set(QStringLiteral("dir_mode"), SqlValue::Number(mode), 2);
    if (stored && alias) {
        stored = set(QStringLiteral("directory_alias"), SqlValue::Text(*alias), 3);
    }
    if (stored) {
        stored = set(QStringLiteral("explore_from_here"), SqlValue::YesNo(exploreFromHere), 4);
    }
    return stored && transaction.Commit(ReportAs{kSavePrefix, 5});
}
