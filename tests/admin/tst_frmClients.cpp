// Moving clients between servers through the real window: the servers each side opens on,
// the moves and their refusals, and the right-button export question.

#include "admin/frmClients.h"
#include "base/settings.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {

const ServerSetup kPlant = {{"SRV1", {"LATHE1", "MILL2"}}, {"SRV2", {"M5"}}, {"SRV3", {"GRIND4"}}};

class MoveWindow {
public:
    explicit MoveWindow(const AdminInstallation& db) : db_(db) {
        window_ = std::make_unique<frmClients>();
        window_->show();
        ready_ = db.IsValid() && QTest::qWaitForWindowActive(window_.get());
    }
    bool Ready() const { return ready_; }
    frmClients* Window() const { return window_.get(); }
    QComboBox* Servers(int side) const {
        return window_->findChild<QComboBox*>(QStringLiteral("cboServers1_%1").arg(side));
    }
    QListWidget* List(int side) const {
        return window_->findChild<QListWidget*>(QStringLiteral("lstClients1_%1").arg(side));
    }
    QPushButton* Button(const char* name) const { return window_->findChild<QPushButton*>(name); }
    QStringList Sides() const { return {Servers(0)->currentText(), Servers(1)->currentText()}; }
    // Both lists as the window shows them and as the database holds them.
    bool ListsShowDatabase() const {
        return Entries(List(0)) == db_.ClientsOf(Servers(0)->currentText()) &&
               Entries(List(1)) == db_.ClientsOf(Servers(1)->currentText());
    }

private:
    const AdminInstallation& db_;
    std::unique_ptr<frmClients> window_;
    bool ready_ = false;
};

// Every per-client row of every table, for comparing before and after a move.
QStringList AllClientRows(const AdminInstallation& db) {
    QStringList rows;
    for (const char* table : {"t_client_mode", "t_client_terminal_mode", "t_filter_table_down",
                              "t_filter_table_up", "t_timeout_table_down", "t_timeout_table_up",
                              "t_command", "t_client_directory", "t_shopterm_clients"}) {
        rows << QString::fromLatin1(table) << db.Rows(QString::fromLatin1(table));
    }
    return rows << db.TextRows(
               "SELECT client_id, client_name FROM t_dnc_server_clients ORDER BY 1");
}

}  // namespace

class TestMoveWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opens() {
        AdminInstallation db(kPlant);
        MoveWindow w(db);
        QVERIFY(w.Ready());
        // The tool tip's trailing blank is part of it.
        QCOMPARE(w.Button("cmdAdd")->toolTip(), QStringLiteral("< Move Client to Server "));
        QCOMPARE(w.Servers(0)->count(), 3);
        QCOMPARE(w.Servers(1)->count(), 3);
    }

    // The servers each side opens on.
    void opening_data() {
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QStringList>("remembered");
        QTest::addColumn<QStringList>("sides");
        // Each column: names separated by blanks, "-" for an empty name.
        const char* const rows[][4] = {
            {"first opening", "SRV1 SRV2 SRV3", "- -", "SRV2 SRV1"},
            {"remembered", "SRV1 SRV2 SRV3", "SRV3 SRV2", "SRV3 SRV2"},
            {"remembered left deleted", "SRV1 SRV2 SRV3", "GONE SRV3", "SRV1 SRV3"},
            {"both deleted", "SRV1 SRV2 SRV3", "GONE GONE", "SRV2 SRV1"},
            {"one server only", "SRV1", "- -", "SRV1 SRV1"},
            {"no server", "", "- -", "- -"}};
        const auto names = [](const char* text) {
            return QString(text).replace('-', QString()).split(' ', Qt::KeepEmptyParts);
        };
        for (const auto& r : rows) {
            QTest::newRow(r[0]) << QString(r[1]).split(' ', Qt::SkipEmptyParts) << names(r[2])
                                << names(r[3]);
        }
    }
    void opening() {
        QFETCH(QStringList, servers);
        QFETCH(QStringList, remembered);
        QFETCH(QStringList, sides);
        ServerSetup setup;
        for (const QString& server : servers) {
            setup.append({server, kPlant.value(setup.size()).second});
        }
        AdminInstallation db(setup);
        LastMoveServers = {remembered.at(0), remembered.at(1)};
        MoveWindow w(db);
        QVERIFY(w.Ready());
        QCOMPARE(w.Sides(), sides);
        QVERIFY(w.ListsShowDatabase());
        QCOMPARE(QStringList({LastMoveServers[0], LastMoveServers[1]}), sides);
        // Nothing can be moved when both sides show the same server (or none).
        if (sides.at(0) == sides.at(1)) {
            const QStringList before = AllClientRows(db) << db.Rows("t_dnc_server_clients");
            for (int side = 0; side < 2; ++side) {
                w.List(side)->setCurrentRow(0);
            }
            QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
            QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
            QCOMPARE(AllClientRows(db) << db.Rows("t_dnc_server_clients"), before);
        }
    }

    // A second window opens on the servers chosen in the first.
    void remembersServers() {
        AdminInstallation db(kPlant);
        {
            MoveWindow w(db);
            QVERIFY(w.Ready());
            w.Servers(0)->setCurrentText("SRV3");
            w.Servers(1)->setCurrentText("SRV2");
        }
        MoveWindow again(db);
        QVERIFY(again.Ready());
        QCOMPARE(again.Sides(), QStringList({"SRV3", "SRV2"}));
    }

    // Each button moves the selected client of its source side; the client keeps its id,
    // its name and every row.
    void move_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("client");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("right");
        QTest::addColumn<QString>("rightServer");  // chosen on the right before the move
        const QStringList srv1{"LATHE1", "MILL2"};
        const QStringList m5{"M5"};
        const QString add = "cmdAdd", sub = "cmdSub", none;
        QTest::newRow("< moves right to left")
            << add << 1 << "MILL2" << QStringList{"M5", "MILL2"} << QStringList{"LATHE1"} << none;
        QTest::newRow("> moves left to right")
            << sub << 0 << "M5" << QStringList{} << QStringList{"LATHE1", "M5", "MILL2"} << none;
        QTest::newRow("< with nothing selected") << add << 1 << none << m5 << srv1 << none;
        QTest::newRow("> with nothing selected") << sub << 0 << none << m5 << srv1 << none;
        QTest::newRow("< with the left side selected") << add << 0 << "M5" << m5 << srv1 << none;
        QTest::newRow("same server both sides: nothing said")
            << add << 1 << "M5" << m5 << m5 << "SRV2";
    }
    void move() {
        QFETCH(QString, button);
        QFETCH(int, from);
        QFETCH(QString, client);
        QFETCH(QStringList, left);
        QFETCH(QStringList, right);
        QFETCH(QString, rightServer);
        AdminInstallation db(kPlant);
        const int mill = db.ClientId("MILL2").toInt();
        db.Exec("INSERT INTO t_client_directory (client_id, directory_direct) VALUES (?, ?)",
                {mill, "C:\\NC\\MILL2"});
        db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                {mill, db.ClientId("M5")});
        const QStringList rowsBefore = AllClientRows(db);
        MoveWindow w(db);  // opens on SRV2 | SRV1
        QVERIFY(w.Ready());
        MessageRecorder messages;
        if (!rightServer.isEmpty()) {
            w.Servers(1)->setCurrentText(rightServer);
        }
        if (!client.isEmpty()) {
            ClickEntry(w.List(from), client);
        }
        QTest::mouseClick(w.Button(qPrintable(button)), Qt::LeftButton);
        QCOMPARE(Entries(w.List(0)), left);
        QCOMPARE(Entries(w.List(1)), right);
        QVERIFY(w.ListsShowDatabase());
        QCOMPARE(AllClientRows(db), rowsBefore);
        QCOMPARE(messages.Count(), 0);
    }

    // LATHE1 picked, then the database changes under the window: nothing is moved (not
    // another server's client that took the name either); the lists then show the database.
    void changedMeanwhile_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("srv1");
        QTest::addColumn<QStringList>("srv3");
        QTest::newRow("left server deleted")
            << QStringList{"DELETE FROM t_dnc_servers WHERE dnc_server_name = 'SRV2'"}
            << QStringList{"LATHE1", "MILL2"} << QStringList{"GRIND4"};
        QTest::newRow("client renamed, name taken elsewhere")
            << QStringList{"UPDATE t_dnc_server_clients SET client_name = 'LATHE7' "
                           "WHERE client_name = 'LATHE1'",
                           "UPDATE t_dnc_server_clients SET client_name = 'LATHE1' "
                           "WHERE client_name = 'GRIND4'"}
            << QStringList{"LATHE7", "MILL2"} << QStringList{"LATHE1"};
    }
    void changedMeanwhile() {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, srv1);
        QFETCH(QStringList, srv3);
        AdminInstallation db(kPlant);
        MoveWindow w(db);
        QVERIFY(w.Ready());
        ClickEntry(w.List(1), "LATHE1");
        for (const QString& statement : statements) {
            QVERIFY(db.Exec(statement));
        }
        const QStringList srv2 = db.ClientsOf("SRV2");
        QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
        QCOMPARE(db.ClientsOf("SRV1"), srv1);
        QCOMPARE(db.ClientsOf("SRV2"), srv2);
        QCOMPARE(db.ClientsOf("SRV3"), srv3);
        QVERIFY(w.ListsShowDatabase());
    }

    void rightButtonExport_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("left");  // server on the left
        QTest::addColumn<int>("side");      // list clicked
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QStringList>("exported");  // "server: clients", or nothing
        const QStringList srv1{"SRV1: LATHE1,MILL2"};
        const QString on = "TRUE", off = "FALSE", left = "SRV1";
        QTest::newRow("yes") << on << left << 0 << MsgAnswer::Yes << srv1;
        QTest::newRow("right list exports the left") << on << left << 1 << MsgAnswer::Yes << srv1;
        QTest::newRow("no") << on << left << 0 << MsgAnswer::No << QStringList{};
        QTest::newRow("flag off") << off << left << 0 << MsgAnswer::Yes << QStringList{};
        QTest::newRow("left list empty") << on << "EMPTY" << 1 << MsgAnswer::Yes << QStringList{};
    }
    void rightButtonExport() {
        QFETCH(QString, flag);
        QFETCH(QString, left);
        QFETCH(int, side);
        QFETCH(MsgAnswer, answer);
        QFETCH(QStringList, exported);
        ServerSetup plant = kPlant;
        plant.append({QStringLiteral("EMPTY"), QStringList()});
        AdminInstallation db(plant);
        ExportDncAdminFlag = flag;
        QStringList calls;
        ExportClientsToDncAdmin = [&calls](const QString& server, const QStringList& clients) {
            calls << server + ": " + clients.join(',');
        };
        LastMoveServers = {left, "SRV3"};
        MoveWindow w(db);
        QVERIFY(w.Ready());
        MessageRecorder messages;
        messages.Answer(answer);
        QTest::mouseClick(w.List(side)->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        ExportClientsToDncAdmin = {};
        QCOMPARE(calls, exported);
        const bool asked = flag == "TRUE" && left != "EMPTY";
        QCOMPARE(messages.Count(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(messages.Last().text, "Export \"" + left + "\" to DNCAdmin.ini file?");
            QCOMPARE(messages.Last().buttons, MsgButtons::YesNo);
        }
    }
};

KESTRUM_TEST(TestMoveWindow)
#include "tst_frmClients.moc"
