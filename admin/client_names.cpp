#include "admin/client_names.h"

#include "base/messages.h"
#include "db/dnc_database.h"

#include <array>

namespace {

bool Allowed(QChar upper) {
    const char16_t code = upper.unicode();
    return code == u' ' || (code >= 48 && code <= 90);
}

const std::array<QLatin1String, 6> kReservedNames = {
    QLatin1String("ADMIN"),  QLatin1String("CNC_LIST"), QLatin1String("NODE01"),
    QLatin1String("NODE02"), QLatin1String("NODE03"),   QLatin1String("NODE04")};

}  // namespace

QString FilterClientName(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        const QChar upper = c.toUpper();
        if (Allowed(upper)) {
            kept += upper;
        }
    }
    return kept;
}

QValidator::State ClientNameValidator::validate(QString& input, int& pos) const {
    const int keptBeforeCursor = int(FilterClientName(input.left(pos)).size());
    input = FilterClientName(input);
    pos = keptBeforeCursor;
    return Acceptable;
}

void ClientNameValidator::fixup(QString& input) const {
    input = FilterClientName(input);
}

bool IsReservedClientName(const QString& name) {
    const QString trimmed = name.trimmed();
    for (QLatin1String reserved : kReservedNames) {
        if (trimmed.compare(reserved, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

bool RefuseReservedClientName(const QString& name) {
    if (!IsReservedClientName(name)) {
        return false;
    }
    ShowMessage(QStringLiteral("Client name \"") + name.trimmed() +
                    QStringLiteral("\" is the name of a section of the DNC Server's DNCAdmin.ini; "
                                   "a client of this name would overwrite the server's own "
                                   "settings. Please choose another name."),
                MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Client name reserved"));
    return true;
}

bool ClientNameInUse(const QString& name) {
    const QString clients = QStringLiteral("t_dnc_server_clients");
    const Recordset rows =
        OpenSortedSelectMDB(clients, QStringLiteral("client_name"), SqlValue::Text(name),
                            QStringLiteral("="), QStringLiteral("client_name"));
    if (!rows.IsOpen()) {
        return true;  // reported; an unchecked name is never added
    }
    if (rows.IsEmpty()) {
        return false;
    }
    QString serverName;
    bool serverId = false;
    const qint64 id = rows.Field(0, QStringLiteral("dnc_server_id")).toLongLong(&serverId);
    if (serverId) {
        const std::optional<QVariant> found = GetFieldValueMDB(
            QStringLiteral("t_dnc_servers"), QStringLiteral("dnc_server_id"), SqlValue::Number(id),
            QStringLiteral("="), QStringLiteral("dnc_server_name"));
        if (found) {
            serverName = found->toString();
        }
    }
    ShowMessage(QStringLiteral("Client name \"") + name + QStringLiteral("\" exists on Server \"") +
                    serverName + QLatin1Char('"'),
                MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Client name used"));
    return true;
}
