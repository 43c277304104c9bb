// DNC server administration through its real widgets: the list, adding from the network
// browser and by typing a name, and removing with the confirmation.

#include "admin/frmServers.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {

const char kHosts[] =
    "127.0.0.1\tlocalhost\n10.1.1.2\tCNCSRV2\t# Accounts\n10.1.1.3\tcncsrv3\n10.1.1.4\tsrv4\n";

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
        tree_ = window_->findChild<FolderView*>(QStringLiteral("FolderView1"));
        ready_ = installation_.IsValid() && QTest::qWaitForWindowActive(window_.get()) &&
                 QTest::qWaitFor([this] { return tree_->Model()->IsNetworkListed(); });
    }
    ~ServerWindow() { FolderTreeModel::SetHostsFile(previousHosts_); }

    bool Ready() const { return ready_; }
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
        for (const QVariantList& row : installation_.Query(
                 "SELECT dnc_server_name FROM t_dnc_servers ORDER BY dnc_server_id")) {
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
        view->scrollTo(index);  // opens the folders above it
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return index.isValid() && view->currentIndex() == index;
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
    bool ready_ = false;
};

}  // namespace

class TestServerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opens() {
        ServerWindow w({"SRV_B", "DEFAULT SERVER", "srv1"});
        QVERIFY(w.Ready());
        QCOMPARE(w.Window()->windowTitle(), QStringLiteral("DNC Server administration"));
        QCOMPARE(w.Button("cmdAdd")->text(), QStringLiteral("<"));
        QCOMPARE(w.Button("cmdSub")->text(), QStringLiteral(">"));
        QCOMPARE(w.Button("cmdAdd")->toolTip(), QStringLiteral("Add DNC Servers to TolvaneDNC"));
        QCOMPARE(w.Button("cmdSub")->toolTip(), QStringLiteral("Remove DNC Servers"));
        // Sorted as the database compares names: without regard to case.
        QCOMPARE(w.ListItems(), QStringList({"DEFAULT SERVER", "srv1", "SRV_B"}));
        QCOMPARE(w.Tree()->height(), w.List()->height());
        // The browser opens on the whole network, folders only.
        const QModelIndex entire = w.Tree()->Model()->EntireNetworkIndex();
        QCOMPARE(w.Tree()->Tree()->currentIndex(), entire);
        QVERIFY(w.Tree()->Tree()->isExpanded(entire));
        QVERIFY(!w.Tree()->ShowFiles());
        QVERIFY(!w.Tree()->ShowHidden());
    }

    void extractServerName() {
        const char* const rows[][2] = {{"CNCSRV2", "CNCSRV2"},
                                       {"A (B) (C)", "B"},
                                       {"ACCOUNTS (CNCSRV2", "CNCSRV2"},
                                       {"A) (B", "B"},
                                       {"ACCOUNTS ()", ""}};
        for (const auto& row : rows) {
            QCOMPARE(frmServers::ExtractServerName(row[0]), QString::fromLatin1(row[1]));
        }
    }

    // The "<" button with each kind of node highlighted: only a computer not listed yet is
    // added.
    void addFromBrowser_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("added");
        const QString rows[][3] = {{"entire network", "Network\\Entire Network", ""},
                                   {"workgroup", kWorkgroup, ""},
                                   {"shown with a comment", kAccounts, "CNCSRV2"},
                                   {"shown in lower case", kWorkgroup + "\\cncsrv3", "CNCSRV3"},
                                   {"listed already", kWorkgroup + "\\srv4", ""},
                                   {"a local folder", "<folder>", ""},
                                   {"nothing selected", "", ""}};
        for (const auto& row : rows) {
            QTest::newRow(qPrintable(row[0])) << row[1] << row[2];
        }
    }
    void addFromBrowser() {
        QFETCH(QString, path);
        QFETCH(QString, added);
        ServerWindow w({"SRV4"});
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
            added.isEmpty() ? QStringList{"SRV4"} : QStringList{"SRV4", added};
        QCOMPARE(w.ListItems(), expected);
        QCOMPARE(w.Rows(), expected);
        QCOMPARE(messages.Count(), 0);
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
            "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = 'SRV1'");
        for (const char* client : {"MILL1", "LATHE2"}) {
            QVERIFY(w.Installation().Exec(
                "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES (?, ?)",
                {client, id}));
        }
        w.SelectListItem("SRV1");
        MessageRecorder messages;
        QTest::keyClick(w.List(), Qt::Key_Return);  // presses no button of the window
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
        // Nothing is chosen after a removal: a second ">" asks about no other server.
        QCOMPARE(w.List()->selectedItems().size(), 0);
        QCOMPARE(w.List()->currentItem(), nullptr);
        w.Button("cmdSub")->click();
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(w.Rows(), QStringList{"SRV2"});
        // The window has no Cancel: Esc, with the entry box closed, leaves it open.
        QTest::keyClick(w.List(), Qt::Key_Escape);
        QVERIFY(w.Window()->isVisible());
        const char* count = "SELECT COUNT(*) FROM t_dnc_server_clients WHERE dnc_server_id = ?";
        QCOMPARE(w.Installation().QueryValue(count, {id}).toInt(), 2);
    }

    // What a key in the entry box does (0: a click elsewhere): typed text, then the key.
    void manualEntryKeys_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("servers");  // list and rows afterwards
        QTest::addColumn<bool>("open");
        const QStringList one{"SRV1"};
        QTest::newRow("enter trims")
            << "  plant 4  " << int(Qt::Key_Return) << QStringList{"SRV1", "PLANT 4"} << false;
        QTest::newRow("keypad enter")
            << "mill9" << int(Qt::Key_Enter) << QStringList{"SRV1", "MILL9"} << false;
        QTest::newRow("enter on empty") << "" << int(Qt::Key_Return) << one << true;
        QTest::newRow("enter on blanks") << "   " << int(Qt::Key_Return) << one << true;
        QTest::newRow("enter on a listed name") << "srv1" << int(Qt::Key_Return) << one << true;
        QTest::newRow("esc") << "plant 4" << int(Qt::Key_Escape) << one << false;
        QTest::newRow("focus loss") << "plant 4" << 0 << one << false;
    }
    void manualEntryKeys() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QStringList, servers);
        QFETCH(bool, open);
        ServerWindow w({"SRV1"});
        QVERIFY(w.Ready());
        MessageRecorder messages;
        w.RightClickTree(messages, MsgAnswer::Cancel);  // a right click on the tree asks first
        QVERIFY(!w.Entry()->isVisible());
        w.RightClickTree(messages, MsgAnswer::Ok);
        QCOMPARE(messages.Texts(), QStringList(2, "Type in Server name then press Enter"));
        QCOMPARE(messages.Last().title, QStringLiteral("Manual Server name entry"));
        QCOMPARE(messages.Last().buttons, MsgButtons::OkCancel);
        QCOMPARE(messages.Last().icon, MsgIcon::None);
        QVERIFY(w.Entry()->hasFocus());
        QVERIFY(w.Window()->ManualEntryActive());
        QTest::keyClicks(w.Entry(), typed);
        QCOMPARE(w.Entry()->text(), typed.toUpper());  // shown as it will be stored
        if (key) {
            QTest::keyClick(w.Entry(), Qt::Key(key));
        } else {
            w.SelectListItem("SRV1");
        }
        QTRY_COMPARE(w.Entry()->isVisible(), open);
        QCOMPARE(w.Window()->ManualEntryActive(), open);
        QCOMPARE(w.Entry()->text(), QString());
        QCOMPARE(w.ListItems(), servers);
        QCOMPARE(w.Rows(), servers);
        QVERIFY(w.Window()->isVisible());  // Esc closed the box, not the window
        QCOMPARE(messages.Count(), 2);     // only the questions that opened the box
    }
};

KESTRUM_TEST(TestServerWindow)
#include "tst_frmServers.moc"
