// Two administrators on one configuration, each with a connection of their own: what this
// Kestrum's windows do with a client the other one deleted, and with client lists that could
// not be read.

#include "admin/frmClients.h"
#include "admin/frmCloneClients.h"
#include "admin/frmMakeClients.h"
#include "admin/frmToolsNodePortID.h"
#include "base/dialog_parts.h"
#include "setup/frmPortSetup.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/modal_driver.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"

#include <QAction>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTreeWidget>

#include <thread>

namespace {

// This computer (CNCSRV1) serves LATHE1 and MILL2; SRV2 serves M5.
const ServerSetup kPlant = {{"CNCSRV1", {"LATHE1", "MILL2"}}, {"SRV2", {"M5"}}};

const QString kGone = QStringLiteral("DNC Client \"LATHE1\" is no longer in the database");

// Every row a client owns besides its client row: a deleted client leaves them behind, and
// nothing may be written into them.
QStringList OwnedRows(const TempInstallation& db) {
    QStringList rows;
    for (const char* table : {"t_client_mode", "t_client_terminal_mode", "t_filter_table_down",
                              "t_filter_table_up", "t_timeout_table_down", "t_timeout_table_up",
                              "t_command", "t_client_directory", "t_shopterm_clients"}) {
        rows << QString::fromLatin1(table) << db.Rows(QString::fromLatin1(table));
    }
    return rows;
}

// The other administrator deletes LATHE1: before this one's click, or while this one's
// write runs (its transaction holds the row until the write has waited on it; only a server
// lets two writers meet so).
class OtherDeletes {
public:
    OtherDeletes(const TempInstallation& db, bool during) {
        const QString sql = QStringLiteral("DELETE FROM t_dnc_server_clients WHERE client_id = ") +
                            db.ClientId(QStringLiteral("LATHE1")).toString();
        if (!during) {
            db.Exec(sql);
            return;
        }
        thread_ = std::thread(ActAsOtherAdministrator, db.DatabaseLocation(), QStringList{sql},
                              &ran_, 800);
        ran_.acquire();
    }
    ~OtherDeletes() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    QSemaphore ran_;
    std::thread thread_;
};

void AddDeletionRows() {
    QTest::addColumn<bool>("during");
    QTest::newRow("deleted before the click") << false;
    QTest::newRow("deleted while the write runs") << true;
}

bool SkipDuringOnFile(bool during, const TempInstallation& db) {
    return during && !db.OnServer();
}

// The clients table taken away from the other connection for a while, so every read of it
// fails; put back when the object goes.
class ClientsUnreadable {
public:
    explicit ClientsUnreadable(const TempInstallation& db) : db_(db) {
        db_.Exec("ALTER TABLE t_dnc_server_clients RENAME TO t_clients_away");
    }
    ~ClientsUnreadable() { Restore(); }
    void Restore() {
        if (!restored_) {
            restored_ = true;
            db_.Exec("ALTER TABLE t_clients_away RENAME TO t_dnc_server_clients");
        }
    }

private:
    const TempInstallation& db_;
    bool restored_ = false;
};

}  // namespace

class TestTwoAdministrators : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Properties open on LATHE1, the other administrator deletes it, OK: this window says
    // so, writes nothing into the rows LATHE1 left, closes, and the client list is read again.
    void propertiesOfADeletedClient_data() { AddDeletionRows(); }
    void propertiesOfADeletedClient() {
        QFETCH(bool, during);
        AdminInstallation db(kPlant);
        if (SkipDuringOnFile(during, db)) {
            QSKIP("two writers at once need the server");
        }
        frmMakeClients::OpenPortSetup = [](QWidget* parent) { OpenPortSetup(parent); };
        const auto restore = qScopeGuard([] { frmMakeClients::OpenPortSetup = {}; });
        LastClientServer = QStringLiteral("CNCSRV1");
        frmMakeClients window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* list = window.findChild<QListWidget*>("lstClients");
        const QStringList before = OwnedRows(db);
        MessageRecorder messages;
        ClickEntry(list, "LATHE1");
        std::unique_ptr<OtherDeletes> other;
        bool closed = false;
        const auto setup = WhenModal<frmPortSetup>([&](frmPortSetup* properties) {
            Choose(properties, "cboPorts", "COM 3");
            Choose(properties, "cboBaud", "300");
            other = std::make_unique<OtherDeletes>(db, during);
            QTest::mouseClick(Child<QPushButton>(properties, "cmdOK"), Qt::LeftButton);
            closed = !properties->isVisible();
            properties->reject();  // whatever happened, the test goes on
        });
        window.findChild<QAction*>("mnuClientProperties")->trigger();
        other.reset();
        QVERIFY2(setup->seen, qPrintable(setup->failure));
        QVERIFY(closed);
        QCOMPARE(messages.Texts(), QStringList{kGone});
        QCOMPARE(messages.Last().title, QStringLiteral("DNC Client not found"));
        QCOMPARE(OwnedRows(db), before);
        QCOMPARE(Entries(list), QStringList{"MILL2"});
        QCOMPARE(db.ClientsOf("CNCSRV1"), QStringList{"MILL2"});
    }

    // The move window: LATHE1 listed on CNCSRV1, deleted by the other administrator, moved
    // to SRV2 here: said so, nothing moved, both lists read again.
    void moveOfADeletedClient_data() { AddDeletionRows(); }
    void moveOfADeletedClient() {
        QFETCH(bool, during);
        AdminInstallation db(kPlant);
        if (SkipDuringOnFile(during, db)) {
            QSKIP("two writers at once need the server");
        }
        LastMoveServers = {QStringLiteral("SRV2"), QStringLiteral("CNCSRV1")};
        TwoSidedWindow<frmClients> w;
        QVERIFY(w.ready);
        QCOMPARE(Entries(w.List(1)), QStringList({"LATHE1", "MILL2"}));
        const QStringList before = OwnedRows(db);
        MessageRecorder messages;
        ClickEntry(w.List(1), "LATHE1");
        {
            OtherDeletes other(db, during);
            w.Click("cmdAdd");  // right to left
        }
        QCOMPARE(messages.Texts(),
                 QStringList{"DNC Client \"LATHE1\" is no longer on DNC Server \"CNCSRV1\""});
        QCOMPARE(OwnedRows(db), before);
        QCOMPARE(db.ClientsOf("SRV2"), QStringList{"M5"});
        QCOMPARE(Entries(w.List(0)), QStringList{"M5"});
        QCOMPARE(Entries(w.List(1)), QStringList{"MILL2"});
    }

    // NodeID/PortID lists LATHE1 and MILL2; LATHE1 goes before OK: it is named as not
    // changed, MILL2 is rewritten.
    void nodePortOfADeletedClient_data() { AddDeletionRows(); }
    void nodePortOfADeletedClient() {
        QFETCH(bool, during);
        AdminInstallation db(kPlant);
        if (SkipDuringOnFile(during, db)) {
            QSKIP("two writers at once need the server");
        }
        db.Exec("UPDATE t_client_mode SET cnc_comport = 3");
        MessageRecorder messages;
        frmToolsNodePortID window;
        window.show();
        QCOMPARE(window.findChild<QTreeWidget*>("ListViewClients")->topLevelItemCount(), 2);
        messages.Clear();
        const QStringList before = OwnedRows(db);
        {
            OtherDeletes other(db, during);
            QTest::mouseClick(window.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        }
        QCOMPARE(messages.Texts(),
                 QStringList{"Not changed:\nLATHE1: the client no longer exists"});
        QCOMPARE(OwnedRows(db), before);
        QCOMPARE(db.TextRows("SELECT client_name, NODE_ID, PORT_ID FROM t_dnc_server_clients "
                             "ORDER BY client_id"),
                 QStringList({"MILL2|01|003", "M5||"}));
        QCOMPARE(window.findChild<QTreeWidget*>("ListViewClients")->topLevelItemCount(), 1);
    }

    // A client list whose read failed says so instead of showing no clients, and forgets it
    // once a later read succeeds.
    void unreadableClientLists_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("list");  // the list that says so
        QTest::newRow("client administration") << "frmMakeClients"
                                               << "lstClients";
        QTest::newRow("move, left") << "frmClients"
                                    << "lstClients1_0";
        QTest::newRow("move, right") << "frmClients"
                                     << "lstClients1_1";
        QTest::newRow("clone, targets") << "frmCloneClients"
                                        << "lstClients1_1";
        QTest::newRow("clone, source") << "frmCloneClients"
                                       << "cboServers1_0";
        QTest::newRow("node and port ids") << "frmToolsNodePortID"
                                           << "ListViewClients";
    }
    void unreadableClientLists() {
        QFETCH(QString, window);
        QFETCH(QString, list);
        AdminInstallation db(kPlant);
        LastMoveServers = {QStringLiteral("SRV2"), QStringLiteral("CNCSRV1")};
        LastClientServer = QStringLiteral("CNCSRV1");
        MessageRecorder messages;
        ClientsUnreadable away(db);
        std::unique_ptr<QDialog> dialog;
        if (window == "frmMakeClients") {
            dialog = std::make_unique<frmMakeClients>();
        } else if (window == "frmClients") {
            dialog = std::make_unique<frmClients>();
        } else if (window == "frmCloneClients") {
            dialog = std::make_unique<frmCloneClients>();
        } else {
            dialog = std::make_unique<frmToolsNodePortID>();
        }
        dialog->show();
        QVERIFY(messages.Count() > 0);  // the failed reads were reported
        QWidget* shown = dialog->findChild<QWidget*>(list);
        QVERIFY(shown);
        const auto unreadable = [shown] {
            if (auto* combo = qobject_cast<QComboBox*>(shown)) {
                return combo->count() == 0 ? combo->placeholderText() : QString("listed");
            }
            auto* view = qobject_cast<QAbstractItemView*>(shown);
            return view->model()->rowCount() == 0 ? ListUnreadableText(view) : QString("listed");
        };
        QCOMPARE(unreadable(), QStringLiteral("The clients could not be read"));
        // Read again once the table is back: the list fills and says nothing more.
        away.Restore();
        if (window == "frmToolsNodePortID" || list == "cboServers1_0") {
            return;  // these windows read their clients once, when they open
        }
        auto* servers = dialog->findChild<QComboBox*>(
            list == "lstClients" ? "cboServers" : "cboServers1_" + list.right(1));
        servers->setCurrentIndex(-1);
        Choose(servers, "CNCSRV1");
        QCOMPARE(unreadable(), QStringLiteral("listed"));
    }
};

KESTRUM_TEST(TestTwoAdministrators)
#include "tst_two_administrators.moc"
