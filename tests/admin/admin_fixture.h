#pragma once
// A temporary installation whose database holds servers and their clients (each client
// made with its dependent rows), for the client and move windows.

#include "admin/pick_lists.h"
#include "db/dnc_database.h"
#include "tests/support/temp_installation.h"

#include <QListWidget>
#include <QStringList>
#include <QTest>

#include <utility>

// servers: each server's name with its clients.
using ServerSetup = QList<std::pair<QString, QStringList>>;

class AdminInstallation : public TempInstallation {
public:
    explicit AdminInstallation(const ServerSetup& servers) {
        ResetPickListState();
        for (const auto& [server, clients] : servers) {
            Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES (?)", {server});
            for (const QString& client : clients) {
                AddClientMDB(client, server);
            }
        }
    }
    ~AdminInstallation() { ResetPickListState(); }

    QVariant ClientId(const QString& name) const {
        return QueryValue("SELECT client_id FROM t_dnc_server_clients WHERE client_name = ?",
                          {name});
    }
    // The client names of a server, as the database holds them, in name order.
    QStringList ClientsOf(const QString& server) const {
        return TextRows(
            "SELECT c.client_name FROM t_dnc_server_clients c JOIN t_dnc_servers s "
            "ON s.dnc_server_id = c.dnc_server_id WHERE s.dnc_server_name = ? "
            "ORDER BY c.client_name",
            {server});
    }
    // Every row of a table, as text, in key order.
    QStringList Rows(const QString& table) const {
        return TextRows("SELECT * FROM " + table + " ORDER BY 1");
    }
};

inline QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries << list->item(i)->text();
    }
    return entries;
}

inline void ClickEntry(QListWidget* list, const QString& text,
                       Qt::MouseButton button = Qt::LeftButton) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable("no entry " + text));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), button, {}, list->visualItemRect(found.first()).center());
}
