#include "db/protocol_records.h"

#include "db/dnc_database.h"
#include "db/statement.h"

namespace {

const QString kProtocolPrefix = QStringLiteral("Error Protocol#");

constexpr int kStepShopTermCheck = 1;
constexpr int kStepRemoteCheck = 2;

std::optional<qint32> NumberOf(const std::optional<QVariant>& field) {
    qint32 number = 0;
    if (field && ReadInt32(*field, number)) {
        return number;
    }
    return std::nullopt;
}

// Runs an existence check; nothing when the check itself failed (reported).
std::optional<bool> RowExists(const QString& sql, const QList<SqlValue>& values, int step) {
    const LookUp found = SelectFirstValue(sql, values, ReportAs{kProtocolPrefix, step});
    if (found.outcome == LookUp::Outcome::Failed) {
        return std::nullopt;
    }
    return found.found();
}

}  // namespace

std::optional<qint32> ProtocolIdOfNameMDB(const QString& protocolName) {
    return NumberOf(GetFieldValueMDB(QStringLiteral("t_protocol"), QStringLiteral("protocol_name"),
                                     SqlValue::Text(protocolName), QStringLiteral("="),
                                     QStringLiteral("protocol_id")));
}

std::optional<qint32> StoredProtocolIdMDB(qint32 clientId) {
    return NumberOf(GetFieldValueMDB(QStringLiteral("t_dnc_server_clients"),
                                     QStringLiteral("client_id"), SqlValue::Number(clientId),
                                     QStringLiteral("="), QStringLiteral("protocol_id")));
}

bool EnsureShopTermSelfRowMDB(qint32 clientId) {
    const SqlValue id = SqlValue::Number(clientId);
    const std::optional<bool> exists =
        RowExists(QStringLiteral("SELECT shopterm_id FROM t_shopterm_clients "
                                 "WHERE shop_client_id = ? AND clients_id = ?"),
                  {id, id}, kStepShopTermCheck);
    if (!exists) {
        return false;
    }
    return *exists ||
           InsertRecordMDB(QStringLiteral("t_shopterm_clients"),
                           {QStringLiteral("shop_client_id"), QStringLiteral("clients_id")},
                           {id, id});
}

bool EnsureRemoteRowMDB(qint32 clientId) {
    const SqlValue id = SqlValue::Number(clientId);
    const std::optional<bool> exists =
        RowExists(QStringLiteral("SELECT rem_client_id FROM t_remote WHERE rem_client_id = ?"),
                  {id}, kStepRemoteCheck);
    if (!exists) {
        return false;
    }
    return *exists ||
           InsertRecordMDB(QStringLiteral("t_remote"), {QStringLiteral("rem_client_id")}, {id});
}

std::optional<qint32> ClientEobDelayMDB(qint32 clientId) {
    return NumberOf(GetFieldValueMDB(QStringLiteral("t_timeout_table_down"),
                                     QStringLiteral("client_id"), SqlValue::Number(clientId),
                                     QStringLiteral("="), QStringLiteral("eob_delay")));
}
