// The Check configuration window through its real widgets, and the Tools menu item that
// opens it.

#include "admin/frmMakeClients.h"
#include "app/frmSetup.h"
#include "base/modal.h"
#include "check/frmCheckConfig.h"
#include "db/dnc_database.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

// "server: counts" and "  client|severity|text" rows of the tree, top down.
QStringList TreeRows(const QTreeWidget* tree) {
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* server = tree->topLevelItem(i);
        rows << server->text(0);
        for (int c = 0; c < server->childCount(); ++c) {
            const QTreeWidgetItem* item = server->child(c);
            rows << "  " + item->text(0) + "|" + item->text(1) + "|" + item->text(2);
        }
    }
    return rows;
}

QTreeWidgetItem* FindingItem(QTreeWidget* tree, const QString& client) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(client, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.constFirst();
}

}  // namespace

class TestCheckWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetDatabaseState(); }
    void cleanup() { SetModalHook({}); }

    // Findings grouped by server with their counts; double-click opens the client window on
    // the finding's server and client.
    void ListsAndOpensClient() {
        CheckInstallation db;
        QVERIFY(db.Exec("UPDATE t_client_mode SET cnc_comport = 1 WHERE client_id = 2"));
        QVERIFY(db.Exec("UPDATE t_dnc_server_clients SET bts_used = -1 WHERE client_id = 4"));
        MessageRecorder messages;
        frmCheckConfig window;
        auto* tree = window.findChild<QTreeWidget*>("treeFindings");
        QCOMPARE(window.findChild<QLabel*>("lblSummary")->text(),
                 QStringLiteral("2 errors, 1 warning"));
        QCOMPARE(TreeRows(tree),
                 QStringList({"CNCSRV1: 2 errors, 0 warnings",
                              "  LATHE1|error|LATHE1 is on COM 1, the same serial port as MILL2",
                              "  MILL2|error|MILL2 is on COM 1, the same serial port as LATHE1",
                              "CNCSRV2: 0 errors, 1 warning",
                              "  GRIND3|warning|GRIND3 has BTS switched on but no adapter "
                              "address and no PIN"}));

        QString opened;
        SetModalHook([&opened](QDialog& dialog) {
            if (auto* clients = qobject_cast<frmMakeClients*>(&dialog)) {
                const auto* list = clients->findChild<QListWidget*>("lstClients");
                opened = clients->findChild<QComboBox*>("cboServers")->currentText() + "/" +
                         (list->currentItem() ? list->currentItem()->text() : QString());
            }
            return int(QDialog::Rejected);
        });
        window.show();
        for (const char* client : {"MILL2", "GRIND3"}) {
            QTreeWidgetItem* item = FindingItem(tree, client);
            QVERIFY(item);
            tree->scrollToItem(item);
            const QPoint at = tree->visualItemRect(item).center();
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(opened, QString("CNCSRV%1/%2").arg(client[0] == 'M' ? 1 : 2).arg(client));
        }
        QCOMPARE(messages.Count(), 0);
    }

    // Repair acts on the selected findings only, after a question, and says what changed;
    // it is offered only for a selection that holds a repairable finding. The report of what
    // is left is saved and copied.
    void RepairsSavesAndCopies() {
        CheckInstallation db;
        QVERIFY(db.Exec("DELETE FROM t_command WHERE client_id IN (1, 4)"));
        QVERIFY(db.Exec("UPDATE t_dnc_server_clients SET protocol_id = 9 WHERE client_id = 2"));
        MessageRecorder messages;
        frmCheckConfig window;
        window.show();
        auto* tree = window.findChild<QTreeWidget*>("treeFindings");
        auto* repair = window.findChild<QPushButton*>("cmdRepair");
        QVERIFY(!repair->isEnabled());
        tree->setCurrentItem(FindingItem(tree, "MILL2"));
        QVERIFY(!repair->isEnabled());
        tree->setCurrentItem(FindingItem(tree, "LATHE1"));
        QVERIFY(repair->isEnabled());
        messages.Answer({MsgAnswer::Ok, MsgAnswer::Ok});
        QTest::mouseClick(repair, Qt::LeftButton);
        QCOMPARE(messages.Count(), 2);
        QVERIFY(messages.Messages().at(0).text.startsWith("Repair 1 finding(s)?"));
        QCOMPARE(messages.Last().text, QStringLiteral("Changed:\nLATHE1: t_command: 1 row added"));

        // Cancelled: nothing changes.
        tree->setCurrentItem(FindingItem(tree, "GRIND3"));
        messages.Answer(MsgAnswer::Cancel);
        QTest::mouseClick(repair, Qt::LeftButton);
        QCOMPARE(db.QueryValue("SELECT COUNT(*) FROM t_command WHERE client_id = 4").toInt(), 0);

        // Save writes the report through the file dialog; Copy puts the same text on the
        // clipboard.
        const QString expected =
            "Configuration check: 2 errors, 0 warnings\n\nCNCSRV1: 1 error, 0 warnings\n"
            "  error: MILL2 has protocol number 9, which is not in the protocol list "
            "[unknown-protocol]\n\nCNCSRV2: 1 error, 0 warnings\n"
            "  error: GRIND3 has no row in t_command; the DNC server cannot read its settings "
            "[missing-row]\n";
        QCOMPARE(window.ReportText(), expected);
        const QString path = db.FilePath("report.txt");
        SetModalHook([&path](QDialog& dialog) {
            qobject_cast<QFileDialog*>(&dialog)->selectFile(path);
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(window.findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        QString crlf = expected;
        QCOMPARE(db.ReadFile("report.txt"), crlf.replace("\n", "\r\n").toUtf8());
        QTest::mouseClick(window.findChild<QPushButton*>("cmdCopy"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), expected);
    }

    // The new item follows the existing ones (the change log comes last); the others keep
    // their order.
    void ToolsMenu() {
        CheckInstallation db;
        frmSetup main;
        const QMenu* tools = main.findChild<QMenu*>("mnuTools");
        QStringList names;
        for (const QAction* action : tools->actions()) {
            names << action->objectName();
        }
        QCOMPARE(names, QStringList({"mnuSelectOS", "mnuNodeID", "mnuMasterDNCAdminPath",
                                     "mnuMasterFolder", "mnuExportDNCAdmin", "mnuToolsMerge",
                                     "mnuXPModeMailboxPath", "mnuTolvaneMailboxPath",
                                     "mnuCheckConfig", "mnuChangeLog"}));
    }
};

KESTRUM_TEST(TestCheckWindow)

#include "tst_window.moc"
