// DNC server administration through its real widgets: the list, adding from the network
// browser and by typing a name, and removing with the confirmation.

#include "admin/frmServers.h"
#include "app/settings.h"
#include "components/folder_view.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {

const char kHosts[] =
    "127.0.0.1\tlocalhost\n"
    "127.0.1.1\tcncsrv1\n"
    "10.1.1.2\tCNCSRV2\t# Accounts\n"
    "10.1.1.3\tcncsrv3\n"
    "10.1.1.4\tmill7.plant.local mill7\n";

const QString kWorkgroup = QStringLiteral("Network\\Entire Network\\WORKGROUP");
const QString kAccounts = kWorkgroup + QStringLiteral("\\Accounts (CNCSRV2)");

// One open server window on a temporary installation whose database holds the servers.
class ServerWindow {
public:
    explicit ServerWindow(const QStringList& servers = {}) {
        installation_.WriteFile(QStringLiteral("hosts"), kHosts);
        previousHosts_ = FolderTreeModel::SetHostsFile(installation_.FilePath("hosts"));
        for (const QString& server : servers) {
            installation_.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES (?)", {server});
        }
        window_ = std::make_unique<frmServers>();
        window_->show();
        active_ = QTest::qWaitForWindowActive(window_.get());
        tree_ = window_->findChild<FolderView*>(QStringLiteral("FolderView1"));
        listed_ = QTest::qWaitFor([this] { return tree_->Model()->IsNetworkListed(); });
    }
    ~ServerWindow() { FolderTreeModel::SetHostsFile(previousHosts_); }

    bool Ready() const { return installation_.IsValid() && active_ && listed_; }
    frmServers* Window() const { return window_.get(); }
    FolderView* Tree() const { return tree_; }
    QListWidget* List() const { return window_->findChild<QListWidget*>("lstServers"); }
    QLineEdit* Entry() const { return window_->findChild<QLineEdit*>("txtServerName"); }
    QPushButton* Button(const char* name) const { return window_->findChild<QPushButton*>(name); }
    const TempInstallation& Installation() const { return installation_; }

    QStringList ListItems() const {
        QStringList items;
        for (int i = 0; i < List()->count(); ++i) {
            items << List()->item(i)->text();
        }
        return items;
    }
    // The server rows, oldest first.
    QStringList Rows() const {
        QStringList rows;
        const auto result =
            installation_.Query("SELECT dnc_server_name FROM t_dnc_servers ORDER BY dnc_server_id");
        for (const QVariantList& row : result) {
            rows << row.first().toString();
        }
        return rows;
    }
    void SelectListItem(const QString& text) const {
        const QList<QListWidgetItem*> found = List()->findItems(text, Qt::MatchExactly);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          List()->visualItemRect(found.first()).center());
    }
    // Clicks the tree's node at this path, as a user highlights it.
    bool ClickTree(const QString& path) const {
        QTreeView* view = tree_->Tree();
        const QModelIndex index = tree_->Model()->IndexOfPath(path);
        if (!index.isValid()) {
            return false;
        }
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) {
            view->expand(p);
        }
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return view->currentIndex() == index;
    }
    // A right click on the tree, answering the question that follows.
    void RightClickTree(MessageRecorder& messages, MsgAnswer answer) const {
        messages.Answer(answer);
        QTest::mouseClick(tree_->Tree()->viewport(), Qt::RightButton, {}, QPoint(4, 4));
    }

private:
    TempInstallation installation_;
    QString previousHosts_;
    std::unique_ptr<frmServers> window_;
    FolderView* tree_ = nullptr;
    bool active_ = false;
    bool listed_ = false;
};

}  // namespace

class TestServerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opens() {
        ServerWindow w({"SRV_B", "DEFAULT SERVER", "srv1"});
        QVERIFY(w.Ready());
        frmServers* window = w.Window();
        QCOMPARE(window->windowTitle(), QStringLiteral("DNC Server administration"));
        QCOMPARE(w.Button("cmdAdd")->text(), QStringLiteral("<"));
        QCOMPARE(w.Button("cmdAdd")->toolTip(), QStringLiteral("Add DNC Servers to TolvaneDNC"));
        QCOMPARE(w.Button("cmdSub")->text(), QStringLiteral(">"));
        QCOMPARE(w.Button("cmdSub")->toolTip(), QStringLiteral("Remove DNC Servers"));
        QCOMPARE(w.Entry()->toolTip(), QStringLiteral("Type in Server name then press Enter"));
        QVERIFY(!w.Entry()->isVisible());
        QVERIFY(!window->ManualEntryActive());
        QVERIFY(window->findChild<QLabel*>("Picture1"));
        // Sorted as the database compares names: without regard to case.
        QCOMPARE(w.ListItems(), QStringList({"DEFAULT SERVER", "srv1", "SRV_B"}));
        QCOMPARE(w.Tree()->height(), w.List()->height());
        // The browser opens on the whole network.
        const QModelIndex entire = w.Tree()->Model()->EntireNetworkIndex();
        QCOMPARE(w.Tree()->Tree()->currentIndex(), entire);
        QVERIFY(w.Tree()->Tree()->isExpanded(entire));
    }

    void extractServerName_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "CNCSRV2"
                               << "CNCSRV2";
        QTest::newRow("comment") << "ACCOUNTS (CNCSRV2)"
                                 << "CNCSRV2";
        QTest::newRow("two brackets") << "A (B) (C)"
                                      << "B";
        QTest::newRow("no closing bracket") << "ACCOUNTS (CNCSRV2"
                                            << "CNCSRV2";
        QTest::newRow("closing bracket before") << "A) (B"
                                                << "B";
        QTest::newRow("empty brackets") << "ACCOUNTS ()"
                                        << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void extractServerName() {
        QFETCH(QString, display);
        QFETCH(QString, name);
        QCOMPARE(frmServers::ExtractServerName(display), name);
    }

    void addFromBrowser_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("added");
        QTest::newRow("network") << "Network"
                                 << "";
        QTest::newRow("entire network") << "Network\\Entire Network"
                                        << "";
        QTest::newRow("workgroup") << kWorkgroup << "";
        QTest::newRow("domain") << "Network\\Entire Network\\PLANT.LOCAL"
                                << "";
        QTest::newRow("shown with a comment") << kAccounts << "CNCSRV2";
        QTest::newRow("shown in lower case") << kWorkgroup + "\\cncsrv3"
                                             << "CNCSRV3";
        QTest::newRow("in a domain") << "Network\\Entire Network\\PLANT.LOCAL\\mill7"
                                     << "MILL7";
        QTest::newRow("this computer") << kWorkgroup + "\\cncsrv1"
                                       << "CNCSRV1";
        QTest::newRow("a local folder") << "<folder>"
                                        << "";
        QTest::newRow("nothing selected") << ""
                                          << "";
    }
    void addFromBrowser() {
        QFETCH(QString, path);
        QFETCH(QString, added);
        ServerWindow w({"SRV1"});
        QVERIFY(w.Ready());
        MessageRecorder messages;
        if (path == QLatin1String("<folder>")) {
            QVERIFY(w.Tree()->SelectFolder(w.Installation().Folder()));
        } else if (path.isEmpty()) {
            w.Tree()->Tree()->selectionModel()->clear();
        } else {
            QVERIFY(w.ClickTree(path));
        }
        w.Button("cmdAdd")->click();
        const QStringList expected =
            added.isEmpty() ? QStringList{"SRV1"} : QStringList{"SRV1", added};
        QCOMPARE(w.ListItems(), expected);
        QCOMPARE(w.Rows(), expected);
        QCOMPARE(messages.Count(), 0);
        QVERIFY(!w.Tree()->ShowFiles());
        QVERIFY(!w.Tree()->ShowHidden());
    }

    void addingAListedNameChangesNothing() {
        ServerWindow w({"CNCSRV2"});
        QVERIFY(w.Ready());
        const auto before = w.Installation().Query("SELECT * FROM t_dnc_servers");
        QVERIFY(w.ClickTree(kAccounts));
        w.Button("cmdAdd")->click();
        QCOMPARE(w.ListItems(), QStringList{"CNCSRV2"});
        QCOMPARE(w.Installation().Query("SELECT * FROM t_dnc_servers"), before);
    }

    void removeDoesNothing_data() {
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QString>("selected");
        QTest::newRow("empty list") << QStringList() << "";
        QTest::newRow("nothing selected") << QStringList{"SRV1", "SRV2"} << "";
        QTest::newRow("DEFAULT SERVER")
            << QStringList{"DEFAULT SERVER", "SRV1"} << "DEFAULT SERVER";
        QTest::newRow("Default server") << QStringList{"Default server"} << "Default server";
    }
    void removeDoesNothing() {
        QFETCH(QStringList, servers);
        QFETCH(QString, selected);
        ServerWindow w(servers);
        QVERIFY(w.Ready());
        if (!selected.isEmpty()) {
            w.SelectListItem(selected);
        } else if (!servers.isEmpty()) {
            w.List()->setCurrentRow(0, QItemSelectionModel::NoUpdate);  // current, not selected
        }
        MessageRecorder messages;
        w.Button("cmdSub")->click();
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(w.List()->count(), servers.size());
        QCOMPARE(w.Rows(), servers);
    }

    // Removal asks first, and leaves the server's clients in the database.
    void removeAsks() {
        ServerWindow w({"SRV1", "SRV2"});
        QVERIFY(w.Ready());
        const QVariant id = w.Installation().QueryValue(
            "SELECT dnc_server_id FROM t_dnc_servers WHERE "
            "dnc_server_name = 'SRV1'");
        for (const char* client : {"MILL1", "LATHE2"}) {
            QVERIFY(w.Installation().Exec(
                "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES (?, ?)",
                {client, id}));
        }
        w.SelectListItem("SRV1");
        MessageRecorder messages;
        messages.Answer(MsgAnswer::Cancel);
        w.Button("cmdSub")->click();
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().text, QStringLiteral("You are about to delete server \"SRV1\""));
        QCOMPARE(messages.Last().title, QStringLiteral("Warning! Delete Server"));
        QCOMPARE(messages.Last().buttons, MsgButtons::OkCancel);
        QCOMPARE(messages.Last().icon, MsgIcon::None);
        QCOMPARE(w.ListItems(), QStringList({"SRV1", "SRV2"}));
        QCOMPARE(w.Rows(), QStringList({"SRV1", "SRV2"}));

        messages.Answer(MsgAnswer::Ok);
        w.Button("cmdSub")->click();
        QCOMPARE(w.ListItems(), QStringList{"SRV2"});
        QCOMPARE(w.Rows(), QStringList{"SRV2"});
        QCOMPARE(w.Installation()
                     .QueryValue(
                         "SELECT COUNT(*) FROM t_dnc_server_clients WHERE dnc_server_id = ?", {id})
                     .toInt(),
                 2);
    }

    // Enter in the list must not press a button of the window.
    void enterInListRemovesNothing() {
        ServerWindow w({"SRV1"});
        QVERIFY(w.Ready());
        w.SelectListItem("SRV1");
        MessageRecorder messages;
        QTest::keyClick(w.List(), Qt::Key_Return);
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(w.Rows(), QStringList{"SRV1"});
    }

    void manualEntryAsksFirst() {
        ServerWindow w;
        QVERIFY(w.Ready());
        MessageRecorder messages;
        w.RightClickTree(messages, MsgAnswer::Cancel);
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().text, QStringLiteral("Type in Server name then press Enter"));
        QCOMPARE(messages.Last().title, QStringLiteral("Manual Server name entry"));
        QCOMPARE(messages.Last().buttons, MsgButtons::OkCancel);
        QCOMPARE(messages.Last().icon, MsgIcon::None);
        QVERIFY(!w.Entry()->isVisible());
        QVERIFY(!w.Window()->ManualEntryActive());

        w.RightClickTree(messages, MsgAnswer::Ok);
        QVERIFY(w.Entry()->isVisible());
        QVERIFY(w.Entry()->hasFocus());
        QVERIFY(w.Window()->ManualEntryActive());
        QTest::keyClicks(w.Entry(), "plant 4");
        QCOMPARE(w.Entry()->text(), QStringLiteral("PLANT 4"));
    }

    // What a key in the entry box does: typed text, then the key.
    void manualEntryKeys_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("servers");  // list and rows afterwards
        QTest::addColumn<bool>("open");
        QTest::newRow("enter trims")
            << "  plant 4  " << int(Qt::Key_Return) << QStringList{"SRV1", "PLANT 4"} << false;
        QTest::newRow("keypad enter")
            << "mill9" << int(Qt::Key_Enter) << QStringList{"SRV1", "MILL9"} << false;
        QTest::newRow("enter on empty") << "" << int(Qt::Key_Return) << QStringList{"SRV1"} << true;
        QTest::newRow("enter on blanks")
            << "   " << int(Qt::Key_Return) << QStringList{"SRV1"} << true;
        QTest::newRow("enter on a listed name")
            << "srv1" << int(Qt::Key_Return) << QStringList{"SRV1"} << true;
        QTest::newRow("esc") << "plant 4" << int(Qt::Key_Escape) << QStringList{"SRV1"} << false;
    }
    void manualEntryKeys() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QStringList, servers);
        QFETCH(bool, open);
        ServerWindow w({"SRV1"});
        QVERIFY(w.Ready());
        MessageRecorder messages;
        w.RightClickTree(messages, MsgAnswer::Ok);
        QTest::keyClicks(w.Entry(), typed);
        QTest::keyClick(w.Entry(), Qt::Key(key));
        QCOMPARE(w.ListItems(), servers);
        QCOMPARE(w.Rows(), servers);
        QCOMPARE(w.Entry()->isVisible(), open);
        QCOMPARE(w.Window()->ManualEntryActive(), open);
        QCOMPARE(w.Entry()->text(), QString());
        QVERIFY(w.Window()->isVisible());  // Esc closed the box, not the window
        QCOMPARE(messages.Count(), 1);     // only the question that opened the box
    }

    void manualEntryClosesOnFocusLoss() {
        ServerWindow w({"SRV1"});
        QVERIFY(w.Ready());
        MessageRecorder messages;
        w.RightClickTree(messages, MsgAnswer::Ok);
        QTest::keyClicks(w.Entry(), "plant 4");
        w.SelectListItem("SRV1");  // clicking elsewhere
        QTRY_VERIFY(!w.Entry()->isVisible());
        QVERIFY(!w.Window()->ManualEntryActive());
        QCOMPARE(w.Entry()->text(), QString());
        QCOMPARE(w.Rows(), QStringList{"SRV1"});
    }
};

KESTRUM_TEST(TestServerWindow)
#include "tst_frmServers.moc"
