#include "admin/pick_lists.h"

#include "base/dialog_parts.h"
#include "base/messages.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "db/select_by_name.h"
#include "transfer/backup.h"

#include <QComboBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QSignalBlocker>

const QString kClientsUnreadable = QStringLiteral("The clients could not be read");

std::array<QString, 2> LastMoveServers;
QString LastClientServer;
ExportClientsFunction ExportClientsToDncAdmin;

void ResetPickListState() {
    LastMoveServers = {};
    LastClientServer.clear();
}

void FillServerLists(std::initializer_list<QComboBox*> combos) {
    const bool read = LoadServerNames() >= 0;
    for (QComboBox* combo : combos) {
        // Qt would select the first entry by itself; the caller's selection runs the choice.
        const QSignalBlocker blocker(combo);
        combo->clear();
        combo->addItems(ServerNames);
        combo->setCurrentIndex(-1);
        ShowServersUnreadable(combo, !read);
    }
}

void ShowServersUnreadable(QComboBox* combo, bool unreadable) {
    // An empty list would say that there is no server.
    combo->setPlaceholderText(unreadable ? QStringLiteral("The servers could not be read")
                                         : QString());
}

bool SelectServerInCombo(const QString& name, QComboBox* combo) {
    if (combo->count() == 0) {
        return false;
    }
    return SelectServerByName(name, combo);
}

std::optional<qint32> FillClientList(const QComboBox* serverCombo, QListWidget* list) {
    list->clear();
    ShowListUnreadable(list, QString());
    if (serverCombo->currentIndex() < 0) {
        return std::nullopt;
    }
    bool failed = false;
    const std::optional<qint32> serverId = GetServerID(serverCombo->currentText(), &failed);
    if (!serverId || LoadServerClientNames(*serverId) < 0) {
        // Deleted meanwhile: no other server's clients in its place. Not read: said so.
        if (failed || serverId) {
            ShowListUnreadable(list, kClientsUnreadable);
        }
        return std::nullopt;
    }
    QStringList names;
    names.reserve(ServerClients.size());
    for (const ClientListEntry& entry : std::as_const(ServerClients)) {
        if (!entry.ClientName.isEmpty()) {
            names << entry.ClientName;
        }
    }
    list->addItems(names);
    return serverId;
}

void SeparateFirstOpening(QComboBox* left, const QComboBox* right) {
    if (left->currentIndex() == 0 && right->currentIndex() == 0 && left->count() > 1) {
        left->setCurrentIndex(1);
    }
}

QStringList ListEntries(const QListWidget* list) {
    QStringList entries;
    entries.reserve(list->count());
    for (int i = 0; i < list->count(); ++i) {
        entries << list->item(i)->text();
    }
    return entries;
}

std::optional<QString> SelectedEntry(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return selected.constFirst()->text();
}

MoveOutcome MoveClient(const QString& clientName, const QString& fromServer,
                       const QString& toServer) {
    const std::optional<qint32> target = GetServerID(toServer);
    const std::optional<qint32> source = GetServerID(fromServer);
    if (!target || !source) {
        return MoveOutcome::ServerNotFound;
    }
    if (*target == *source) {
        return MoveOutcome::SameServer;
    }
    if (clientName.isEmpty()) {
        return MoveOutcome::NoClient;
    }
    // The client of that name on the source side, by its id: should two rows share the name,
    // the one listed under the other server is never the one moved.
    const Recordset rows =
        OpenSelectMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_name"),
                      SqlValue::Text(clientName), QStringLiteral("="),
                      QStringLiteral("client_id, dnc_server_id"));
    if (!rows.IsOpen()) {
        return MoveOutcome::Failed;
    }
    for (int row = 0; row < rows.RecordCount(); ++row) {
        if (rows.Field(row, 1).toLongLong() != *source) {
            continue;
        }
        if (!BackupBeforeBulkChange(QStringLiteral("Move"))) {
            return MoveOutcome::Failed;
        }
        // The client may go while the backup is made: it moves only while still on the source.
        const std::optional<bool> moved =
            MoveClientRowMDB(qint32(rows.Field(row, 0).toLongLong()), *source, *target);
        if (!moved) {
            return MoveOutcome::Failed;
        }
        return *moved ? MoveOutcome::Moved : MoveOutcome::ClientGone;
    }
    return MoveOutcome::ClientGone;
}

void ShowClientNotOnServer(const QString& client, const QString& server) {
    ShowMessage(
        QStringLiteral("DNC Client \"%1\" is no longer on DNC Server \"%2\"").arg(client, server),
        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("DNC Client not found"));
}

bool OfferClientExport(const QString& leftServer, const QStringList& leftClients) {
    if (ExportDncAdminFlag != QLatin1String("TRUE") || leftClients.isEmpty()) {
        return false;
    }
    if (ShowMessage(
            QStringLiteral("Export \"") + leftServer + QStringLiteral("\" to DNCAdmin.ini file?"),
            MsgButtons::YesNo) != MsgAnswer::Yes) {
        return false;
    }
    if (ExportClientsToDncAdmin) {
        ExportClientsToDncAdmin(leftServer, leftClients);
    }
    return true;
}

bool OfferClientExportOnRightClick(QObject* watched, QEvent* event,
                                   const std::array<QComboBox*, 2>& servers,
                                   const std::array<QListWidget*, 2>& lists) {
    if (event->type() != QEvent::MouseButtonRelease ||
        static_cast<QMouseEvent*>(event)->button() != Qt::RightButton ||
        (watched != lists[0]->viewport() && watched != lists[1]->viewport())) {
        return false;
    }
    OfferClientExport(servers[0]->currentText(), ListEntries(lists[0]));
    return true;
}
