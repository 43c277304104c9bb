// The server restarted between two actions of an open window: the first action after it says
// once that the connection was lost and keeps nothing of itself; the next one connects again
// and works. Runs alone (a restart ends every session of the server) in admin_restart_pg.

#include "admin/clone_clients.h"
#include "admin/frmClients.h"
#include "admin/frmCloneClients.h"
#include "admin/frmMakeClients.h"
#include "admin/frmToolsNodePortID.h"
#include "setup/frmPortSetup.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/modal_driver.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTreeWidget>

#include <functional>

namespace {

const ServerSetup kPlant = {{"CNCSRV1", {"LATHE1", "MILL2"}}, {"SRV2", {"M5"}}};

const QString kLost = QStringLiteral("The connection to the database server was lost");

// The configuration as the other connection reads it: every table the windows write.
QStringList Configuration(TempInstallation& db) {
    db.DropCheckConnection();  // the restart ended it too
    QStringList rows;
    for (const char* table : {"t_dnc_servers", "t_dnc_server_clients", "t_client_mode",
                              "t_filter_table_down", "t_timeout_table_down"}) {
        rows << QString::fromLatin1(table) << db.Rows(QString::fromLatin1(table));
    }
    return rows;
}

// One window with the action it repeats: the first run meets the restarted server.
struct WindowAction {
    std::unique_ptr<QDialog> window;
    std::function<void()> prepare = [] {};
    std::function<void()> act;
};

WindowAction OpenWindow(const QString& which) {
    WindowAction w;
    if (which == "add client") {
        LastClientServer = QStringLiteral("CNCSRV1");
        auto window = std::make_unique<frmMakeClients>();
        frmMakeClients* clients = window.get();
        w.act = [clients] {
            clients->findChild<QLineEdit*>("txtClientName")->setText("DRILL3");
            QTest::mouseClick(clients->findChild<QPushButton*>("cmdAdd"), Qt::LeftButton);
        };
        w.window = std::move(window);
    } else if (which == "move client") {
        LastMoveServers = {QStringLiteral("SRV2"), QStringLiteral("CNCSRV1")};
        auto window = std::make_unique<frmClients>();
        frmClients* move = window.get();
        w.act = [move] {
            auto* list = move->findChild<QListWidget*>("lstClients1_1");
            if (list->findItems("LATHE1", Qt::MatchExactly).isEmpty()) {
                // Not read after the loss: the administrator chooses the server again.
                auto* server = move->findChild<QComboBox*>("cboServers1_1");
                server->setCurrentIndex(-1);
                Choose(server, "CNCSRV1");
            }
            ClickEntry(list, "LATHE1");
            QTest::mouseClick(move->findChild<QPushButton*>("cmdAdd"), Qt::LeftButton);
        };
        w.window = std::move(window);
    } else if (which == "clone") {
        LastCloneServer = QStringLiteral("CNCSRV1");
        LastCloneSource = QStringLiteral("MILL2");
        auto window = std::make_unique<frmCloneClients>();
        frmCloneClients* clone = window.get();
        w.prepare = [clone] {
            ClickEntry(clone->findChild<QListWidget*>("lstClients1_1"), "LATHE1");
            QTest::mouseClick(clone->findChild<QPushButton*>("cmdAdd"), Qt::LeftButton);
        };
        w.act = [clone] {
            QTest::mouseClick(clone->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        };
        w.window = std::move(window);
    } else if (which == "node and port ids") {
        auto window = std::make_unique<frmToolsNodePortID>();
        frmToolsNodePortID* ids = window.get();
        w.act = [ids] { QTest::mouseClick(ids->findChild<QPushButton*>("cmdOK"), Qt::LeftButton); };
        w.window = std::move(window);
    }
    return w;
}

}  // namespace

class TestServerRestart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        if (!TestOnServer() || qEnvironmentVariable("KESTRUM_TEST_RESTART") != "1" ||
            TestServerControl().isEmpty()) {
            QSKIP("restarts the server: runs alone in admin_restart_pg");
        }
    }

    void restartBetweenTwoActions_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("check");  // what the second action stored, read back
        QTest::addColumn<QString>("done");
        QTest::newRow("client administration")
            << "add client"
            << "SELECT COUNT(*) FROM t_dnc_server_clients WHERE client_name = "
               "'DRILL3'"
            << "1";
        QTest::newRow("move") << "move client"
                              << "SELECT s.dnc_server_name FROM t_dnc_server_clients c JOIN "
                                 "t_dnc_servers s ON s.dnc_server_id = c.dnc_server_id WHERE "
                                 "c.client_name = 'LATHE1'"
                              << "SRV2";
        QTest::newRow("clone") << "clone"
                               << "SELECT m.m_baud FROM t_client_mode m JOIN "
                                  "t_dnc_server_clients c ON c.client_id = m.client_id WHERE "
                                  "c.client_name = 'LATHE1'"
                               << "4800";
        QTest::newRow("node and port ids")
            << "node and port ids"
            << "SELECT PORT_ID FROM t_dnc_server_clients WHERE client_name = 'LATHE1'"
            << "003";
    }
    void restartBetweenTwoActions() {
        QFETCH(QString, window);
        QFETCH(QString, check);
        QFETCH(QString, done);
        AdminInstallation db(kPlant);
        db.Exec("UPDATE t_client_mode SET cnc_comport = 3");
        db.Exec("UPDATE t_client_mode SET m_baud = 4800 WHERE client_id = ?",
                {db.ClientId("MILL2")});
        MessageRecorder messages;
        WindowAction w = OpenWindow(window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        w.prepare();
        messages.Clear();
        const QStringList before = Configuration(db);
        QString error;
        QVERIFY2(RestartTestServer(&error), qPrintable(error));
        w.act();
        QCOMPARE(messages.Texts().join("\n---\n"), messages.Last().text);  // one message
        QVERIFY2(messages.Last().text.contains(kLost), qPrintable(messages.Last().text));
        QCOMPARE(Configuration(db), before);
        // Back in the window's event loop: the next action connects again.
        QCoreApplication::processEvents();
        messages.Clear();
        w.act();
        for (const QString& text : messages.Texts()) {
            QVERIFY2(!text.startsWith("Error") && !text.contains(kLost), qPrintable(text));
        }
        db.DropCheckConnection();
        QCOMPARE(db.QueryValue(check).toString(), done);
    }

    // Properties open while the server restarts: OK says once that the connection was lost
    // and the window stays; the next OK saves and closes it.
    void propertiesAcrossARestart() {
        AdminInstallation db(kPlant);
        frmMakeClients::OpenPortSetup = [](QWidget* parent) { OpenPortSetup(parent); };
        const auto restore = qScopeGuard([] { frmMakeClients::OpenPortSetup = {}; });
        LastClientServer = QStringLiteral("CNCSRV1");
        frmMakeClients window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ClickEntry(window.findChild<QListWidget*>("lstClients"), "LATHE1");
        MessageRecorder messages;
        QStringList lost;
        bool openAfterFirst = false;
        bool closedAfterSecond = false;
        const auto setup = WhenModal<frmPortSetup>([&](frmPortSetup* properties) {
            Choose(properties, "cboBaud", "300");
            QString error;
            QVERIFY2(RestartTestServer(&error), qPrintable(error));
            QTest::mouseClick(Child<QPushButton>(properties, "cmdOK"), Qt::LeftButton);
            lost = messages.Texts();
            openAfterFirst = properties->isVisible();
            QCoreApplication::processEvents();
            QTest::mouseClick(Child<QPushButton>(properties, "cmdOK"), Qt::LeftButton);
            closedAfterSecond = !properties->isVisible();
            properties->reject();
        });
        window.findChild<QAction*>("mnuClientProperties")->trigger();
        QVERIFY2(setup->seen, qPrintable(setup->failure));
        QCOMPARE(lost.size(), 1);
        QVERIFY2(lost.first().contains(kLost), qPrintable(lost.first()));
        QVERIFY(openAfterFirst);
        QVERIFY(closedAfterSecond);
        QCOMPARE(messages.Count(), 1);
        db.DropCheckConnection();
        QCOMPARE(db.QueryValue("SELECT m_baud FROM t_client_mode WHERE client_id = ?",
                               {db.ClientId("LATHE1")})
                     .toInt(),
                 300);
    }
};

KESTRUM_TEST(TestServerRestart)
#include "tst_server_restart.moc"
