// DNC server administration through its real widgets: the list, adding from the network
// browser and by typing a name, and removing with the confirmation.

#include "admin/frmServers.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace {

const char kHosts[] =
    "127.0.0.1\tlocalhost\n10.1.1.2\tCNCSRV2\t# Accounts\n10.1.1.3\tcncsrv3\n10.1.1.4\tsrv4\n";
const QString kWorkgroup = QStringLiteral("Network\\Entire Network\\WORKGROUP");

// One open server window on a temporary installation whose database holds the servers.
struct ServerWindow {
    explicit ServerWindow(const QStringList& servers = {}) {
        db.WriteFile(QStringLiteral("hosts"), kHosts);
        previousHosts = FolderTreeModel::SetHostsFile(db.FilePath("hosts"));
        for (const QString& server : servers) {
            db.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES (?)", {server});
        }
        window = std::make_unique<frmServers>();
        window->show();
        tree = window->findChild<FolderView*>(QStringLiteral("FolderView1"));
        ready = db.IsValid() && QTest::qWaitForWindowActive(window.get()) &&
                QTest::qWaitFor([this] { return tree->Model()->IsNetworkListed(); });
    }
    ~ServerWindow() { FolderTreeModel::SetHostsFile(previousHosts); }
    QListWidget* List() const { return window->findChild<QListWidget*>("lstServers"); }
    QLineEdit* Entry() const { return window->findChild<QLineEdit*>("txtServerName"); }
    void Click(const char* name) const { window->findChild<QPushButton*>(name)->click(); }
    // The list, then the server rows oldest first, each joined by ','.
    QString State() const {
        return Entries(List()).join(',') + " | " +
               db.TextRows("SELECT dnc_server_name FROM t_dnc_servers ORDER BY dnc_server_id")
                   .join(',');
    }
    // Clicks the tree's node at this path, as a user highlights it.
    bool ClickTree(const QString& path) const {
        QTreeView* view = tree->Tree();
        const QModelIndex index = tree->Model()->IndexOfPath(path);
        view->scrollTo(index);  // opens the folders above it
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return index.isValid() && view->currentIndex() == index;
    }
    TempInstallation db;
    QString previousHosts;
    std::unique_ptr<frmServers> window;
    FolderView* tree = nullptr;
    bool ready = false;
};

}  // namespace

class TestServerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void extractServerName() {
        const char* const rows[][2] = {
            {"CNCSRV2", "CNCSRV2"}, {"A (B) (C)", "B"}, {"A) (B", "B"}, {"ACCOUNTS ()", ""}};
        for (const auto& row : rows) {
            QCOMPARE(frmServers::ExtractServerName(row[0]), QString::fromLatin1(row[1]));
        }
    }

    // The "<" button with each kind of node highlighted: only a computer not listed yet is
    // added. The list is sorted as the database compares names: without regard to case.
    void addFromBrowser_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("state");
        const QString kept = "DEFAULT SERVER,srv1,SRV4,SRV_B | SRV_B,DEFAULT SERVER,srv1,SRV4";
        const QString rows[][3] = {
            {"workgroup", kWorkgroup, kept},
            {"shown with a comment", kWorkgroup + "\\Accounts (CNCSRV2)",
             "DEFAULT SERVER,srv1,SRV4,SRV_B,CNCSRV2 | SRV_B,DEFAULT SERVER,srv1,SRV4,CNCSRV2"},
            {"listed already", kWorkgroup + "\\srv4", kept},
            {"a local folder", "<folder>", kept},
            {"nothing selected", "", kept}};
        for (const auto& row : rows) {
            QTest::newRow(qPrintable(row[0])) << row[1] << row[2];
        }
    }
    void addFromBrowser() {
        QFETCH(QString, path);
        QFETCH(QString, state);
        ServerWindow w({"SRV_B", "DEFAULT SERVER", "srv1", "SRV4"});
        QVERIFY(w.ready);
        QCOMPARE(w.tree->Tree()->currentIndex(), w.tree->Model()->EntireNetworkIndex());
        MessageRecorder messages;
        if (path == QLatin1String("<folder>")) {
            QVERIFY(w.tree->SelectFolder(w.db.Folder()));
        } else if (path.isEmpty()) {
            w.tree->Tree()->selectionModel()->clear();
        } else {
            QVERIFY(w.ClickTree(path));
        }
        w.Click("cmdAdd");
        QCOMPARE(w.State(), state);
        QCOMPARE(messages.Count(), 0);
    }

    // Removal asks first, and leaves the server's clients in the database. ">" with nothing
    // selected (current, not selected) or the default server does nothing.
    void remove() {
        ServerWindow w({"SRV1", "SRV2", "Default server"});
        QVERIFY(w.ready);
        QVERIFY(w.db.AddPlant({{"SRV1", {"MILL1", "LATHE2"}}}));
        MessageRecorder messages;
        const QString all = "Default server,SRV1,SRV2 | SRV1,SRV2,Default server";
        w.List()->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        w.Click("cmdSub");
        ClickEntry(w.List(), "Default server");
        w.Click("cmdSub");
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(w.State(), all);
        ClickEntry(w.List(), "SRV1");
        QTest::keyClick(w.List(), Qt::Key_Return);  // presses no button of the window
        messages.Answer({MsgAnswer::Cancel, MsgAnswer::Ok});
        w.Click("cmdSub");
        QCOMPARE(messages.Texts(), QStringList{"You are about to delete server \"SRV1\""});
        QCOMPARE(w.State(), all);
        w.Click("cmdSub");
        QCOMPARE(w.State(), "Default server,SRV2 | SRV2,Default server");
        // Nothing is chosen after a removal: a second ">" asks about no other server.
        w.Click("cmdSub");
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(w.State(), "Default server,SRV2 | SRV2,Default server");
        // The window has no Cancel: Esc, with the entry box closed, leaves it open.
        QTest::keyClick(w.List(), Qt::Key_Escape);
        QVERIFY(w.window->isVisible());
        QCOMPARE(w.db.Count("t_dnc_server_clients"), 2);
        // Renamed by another administrator while listed: said so, nothing deleted, and the
        // list shows the database again.
        ClickEntry(w.List(), "SRV2");
        QVERIFY(
            w.db.Exec("UPDATE t_dnc_servers SET dnc_server_name = 'SRV9' WHERE "
                      "dnc_server_name = 'SRV2'"));
        messages.Answer({MsgAnswer::Ok, MsgAnswer::Ok});
        w.Click("cmdSub");
        QCOMPARE(messages.Count(), 4);
        QCOMPARE(messages.Last().title, QStringLiteral("DNC Server not found"));
        QCOMPARE(w.State(), "Default server,SRV9 | SRV9,Default server");
    }

    // What a key in the entry box does (0: a click elsewhere): typed text, then the key.
    void manualEntryKeys_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("open");
        const QString one = "Srv1 | Srv1";  // stored in other letters, as an import may
        QTest::newRow("enter trims")
            << "  plant 4  " << int(Qt::Key_Return) << "Srv1,PLANT 4 | Srv1,PLANT 4" << false;
        QTest::newRow("enter on blanks") << "   " << int(Qt::Key_Return) << one << true;
        QTest::newRow("enter on a listed name") << "srv1" << int(Qt::Key_Return) << one << true;
        QTest::newRow("esc") << "plant 4" << int(Qt::Key_Escape) << one << false;
        QTest::newRow("focus loss") << "plant 4" << 0 << one << false;
    }
    void manualEntryKeys() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, state);
        QFETCH(bool, open);
        ServerWindow w({"Srv1"});
        QVERIFY(w.ready);
        MessageRecorder messages;
        // A right click on the tree asks first.
        messages.Answer({MsgAnswer::Cancel, MsgAnswer::Ok});
        QTest::mouseClick(w.tree->Tree()->viewport(), Qt::RightButton, {}, QPoint(4, 4));
        QVERIFY(!w.Entry()->isVisible());
        QTest::mouseClick(w.tree->Tree()->viewport(), Qt::RightButton, {}, QPoint(4, 4));
        QCOMPARE(messages.Texts(), QStringList(2, "Type in Server name then press Enter"));
        QTest::keyClicks(w.Entry(), typed);
        QCOMPARE(w.Entry()->text(), typed.toUpper());  // shown as it will be stored
        if (key) {
            QTest::keyClick(w.Entry(), Qt::Key(key));
        } else {
            ClickEntry(w.List(), "Srv1");
        }
        QTRY_COMPARE(w.Entry()->isVisible(), open);
        QCOMPARE(w.window->ManualEntryActive(), open);
        QCOMPARE(w.State(), state);
        QVERIFY(w.window->isVisible());  // Esc closed the box, not the window
        QCOMPARE(messages.Count(), 2);   // only the questions that opened the box
    }
};

KESTRUM_TEST(TestServerWindow)
#include "tst_frmServers.moc"
