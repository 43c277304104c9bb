// NodeID/PortID through its real widgets: the server check, the list and the rewrite.

#include "admin/frmToolsNodePortID.h"
#include "db/dnc_database.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString kNodeMessage =
    QStringLiteral("The NodeID's for this Server must be the same!, use the NodeID 'TOOL'");

QString Client(int n) {
    return QStringLiteral("M%1").arg(n, 2, 10, QLatin1Char('0'));
}

// This computer (CNCSRV1) serves 64 clients with node ids 01, 02, 01, 01, 02, 01, ... and
// ports 0 and 3 in turn; M01 uses BTS without the channel. Another server has one client.
class Server64 {
public:
    Server64() {
        QStringList clients;
        for (int n = 1; n <= 64; ++n) {
            clients << Client(n);
        }
        tmp.AddPlant({{"CNCSRV1", clients}, {"OTHER", {"ELSEWHERE"}}});
        tmp.Exec(
            "UPDATE t_dnc_server_clients SET PORT_ID = 'X', NODE_ID = CASE WHEN client_id % 3 = 2 "
            "THEN '02' ELSE '01' END WHERE client_id <= 64");
        tmp.Exec(
            "UPDATE t_client_mode SET cnc_comport = CASE client_id % 2 WHEN 1 THEN 0 ELSE 3 END "
            "WHERE client_id <= 64");
        tmp.Exec("UPDATE t_dnc_server_clients SET bts_used = -1, bts_loop = 0 WHERE client_id = 1");
    }
    QStringList Column(const char* column) const {
        return tmp.TextRows(
            QStringLiteral("SELECT %1 FROM t_dnc_server_clients ORDER BY client_id").arg(column));
    }
    TempInstallation tmp;
};

struct NodeWindow {
    NodeWindow() : window(std::make_unique<frmToolsNodePortID>()) { window->show(); }
    QTreeWidget* List() const { return window->findChild<QTreeWidget*>("ListViewClients"); }
    QComboBox* Node() const { return window->findChild<QComboBox*>("cboNode"); }
    QCheckBox* Port() const { return window->findChild<QCheckBox*>("chkPort"); }
    QPushButton* Ok() const { return window->findChild<QPushButton*>("cmdOK"); }
    QStringList Row(int i) const {
        QStringList texts;
        for (int c = 0; c < List()->columnCount(); ++c) {
            texts << List()->topLevelItem(i)->text(c);
        }
        return texts;
    }
    void TypeNode(const QString& text) const {
        Node()->lineEdit()->selectAll();
        QTest::keyClicks(Node()->lineEdit(), text);
    }
    std::unique_ptr<frmToolsNodePortID> window;
};

}  // namespace

class TestNodePortWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // OK with each node text and port choice; the list then shows what is stored.
    void rewrite_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ports");
        QTest::addColumn<QString>("node");
        QTest::newRow("05 typed, blanks around") << " 05 " << true << "05";
        QTest::newRow("without ports") << "02" << false << "02";
        QTest::newRow("apostrophe") << "0'1" << true << "0'1";
    }
    void rewrite() {
        QFETCH(QString, typed);
        QFETCH(bool, ports);
        QFETCH(QString, node);
        Server64 server;
        MessageRecorder messages;
        NodeWindow w;
        messages.Clear();
        w.TypeNode(typed);
        w.Port()->setChecked(ports);
        QTest::mouseClick(w.Ok(), Qt::LeftButton);
        QCOMPARE(messages.Count(), 0);
        QStringList ids;  // node and port of every client, the other server's last
        for (int n = 1; n <= 64; ++n) {
            ids << node + "|" + (ports ? (n % 2 ? "000" : "003") : "X");
        }
        QCOMPARE(server.Column("NODE_ID, PORT_ID"), ids << "|");
        QCOMPARE(w.Row(63), (QStringList{"M64", node, "3", ports ? "003" : "X", "OFF", "OFF"}));
    }

    // The list of this server's clients. A client that lost its port row, or the client
    // itself, is passed over; the others are rewritten. Empty node text is refused.
    void listSkipsAndRefusals() {
        Server64 server;
        MessageRecorder messages;
        NodeWindow w;
        QCOMPARE(messages.Texts(), QStringList{kNodeMessage});
        QCOMPARE(w.List()->topLevelItemCount(), 64);
        QCOMPARE(w.Row(0), (QStringList{"M01", "01", "0", "X", "ON", "OFF"}));
        QCOMPARE(w.Row(1), (QStringList{"M02", "02", "3", "X", "OFF", "OFF"}));
        QCOMPARE(w.Node()->currentText(), "01");
        messages.Clear();
        w.TypeNode("   ");
        QTest::mouseClick(w.Ok(), Qt::LeftButton);
        QCOMPARE(messages.Texts(), QStringList{"Enter the Node ID to give all Clients."});
        QCOMPARE(server.Column("PORT_ID").first(), "X");

        server.tmp.Exec("DELETE FROM t_client_mode WHERE client_id = 4");
        server.tmp.Exec("DELETE FROM t_dnc_server_clients WHERE client_id = 6");
        messages.Clear();
        w.TypeNode("03");
        QTest::mouseClick(w.Ok(), Qt::LeftButton);
        QCOMPARE(messages.Texts(),
                 QStringList{"Not changed:\nM04: the client has no port settings\nM06: the "
                             "client no longer exists"});
        QCOMPARE(server.Column("NODE_ID, PORT_ID").mid(0, 5),
                 (QStringList{"03|000", "03|003", "03|000", "01|X", "03|000"}));
        QCOMPARE(w.List()->topLevelItemCount(), 63);
        QCOMPARE(w.Row(3), (QStringList{"M04", "01", "", "X", "OFF", "OFF"}));
    }

    void aComputerThatIsNoServerListsNothing() {
        TempInstallation tmp;
        MessageRecorder messages;
        tmp.AddPlant({{"OTHER", {"ELSEWHERE"}}});
        LoadServerClientNames(1);  // another server's clients in the shared list
        NodeWindow w;
        QCOMPARE(messages.Texts(),
                 QStringList{"CNCSRV1 is not configured as a DNC Server!, create this DNC Server "
                             "prior to this selection"});
        QCOMPARE(w.List()->topLevelItemCount(), 0);
        QVERIFY(!w.Ok()->isEnabled());
        QCOMPARE(tmp.QueryValue("SELECT NODE_ID FROM t_dnc_server_clients"), "");
    }
};

KESTRUM_TEST(TestNodePortWindow)
#include "tst_frmToolsNodePortID.moc"
