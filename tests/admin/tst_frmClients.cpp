// Moving clients between servers through the real window: the servers each side opens on,
// the moves and their refusals, and the right-button export question.

#include "admin/frmClients.h"
#include "base/settings.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

namespace {

const ServerSetup kPlant = {{"SRV1", {"LATHE1", "MILL2"}}, {"SRV2", {"M5"}}, {"SRV3", {"GRIND4"}}};

struct MoveWindow : TwoSidedWindow<frmClients> {
    explicit MoveWindow(const AdminInstallation& installation) : db(installation) {
        ready = ready && db.IsValid();
    }
    QStringList Sides() const { return {Servers(0)->currentText(), Servers(1)->currentText()}; }
    // Both lists as the window shows them and as the database holds them.
    bool ListsShowDatabase() const {
        return Entries(List(0)) == db.ClientsOf(Servers(0)->currentText()) &&
               Entries(List(1)) == db.ClientsOf(Servers(1)->currentText());
    }
    const AdminInstallation& db;
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
    // The servers each side opens on; each column: names separated by blanks, "-" for none.
    void opening_data() {
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QStringList>("remembered");
        QTest::addColumn<QStringList>("sides");
        const auto names = [](const char* text) {
            return QString(text).replace('-', QString()).split(' ', Qt::KeepEmptyParts);
        };
        const char* const rows[][4] = {
            {"first opening", "SRV1 SRV2 SRV3", "- -", "SRV2 SRV1"},
            {"remembered left deleted", "SRV1 SRV2 SRV3", "GONE SRV3", "SRV1 SRV3"},
            {"one server only", "SRV1", "- -", "SRV1 SRV1"},
            {"no server", "", "- -", "- -"}};
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
        QVERIFY(w.ready);
        QCOMPARE(w.Sides(), sides);
        QVERIFY(w.ListsShowDatabase());
        QCOMPARE(QStringList({LastMoveServers[0], LastMoveServers[1]}), sides);
        if (servers.size() == 3) {  // a choice is kept for the next window
            w.Servers(1)->setCurrentText("SRV3");
            QCOMPARE(LastMoveServers[1], QStringLiteral("SRV3"));
        }
        // Nothing can be moved when both sides show the same server (or none).
        if (sides.at(0) == sides.at(1)) {
            const QStringList before = AllClientRows(db) << db.Rows("t_dnc_server_clients");
            w.List(0)->setCurrentRow(0);
            w.List(1)->setCurrentRow(0);
            w.Click("cmdAdd");
            w.Click("cmdSub");
            QCOMPARE(AllClientRows(db) << db.Rows("t_dnc_server_clients"), before);
        }
    }

    // Each button moves the selected client of its source side (the window opens on
    // SRV2 | SRV1); the client keeps its id, its name and every row. LATHE1 picked, then the
    // database changed under the window: nothing is moved (not another server's client that
    // took the name either), a client gone from its server is named; the lists then show the
    // database.
    void move_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("left");  // the lists afterwards, names joined by ','
        QTest::addColumn<QString>("right");
        QTest::addColumn<QStringList>("meanwhile");  // statements run after the pick
        QTest::addColumn<QString>("message");        // the one message, if any
        const auto row = [](const char* name, const char* button, int from, const char* client,
                            const char* left, const char* right, QStringList meanwhile = {},
                            const char* message = "") {
            QTest::newRow(name) << QString(button) << from << QString(client) << QString(left)
                                << QString(right) << meanwhile << QString(message);
        };
        row("< moves right to left", "cmdAdd", 1, "MILL2", "M5,MILL2", "LATHE1");
        row("> moves left to right", "cmdSub", 0, "M5", "", "LATHE1,M5,MILL2");
        row("< with nothing selected", "cmdAdd", 1, "", "M5", "LATHE1,MILL2");
        row("< with the left side selected", "cmdAdd", 0, "M5", "M5", "LATHE1,MILL2");
        row("left server deleted", "cmdAdd", 1, "LATHE1", "", "LATHE1,MILL2",
            {"DELETE FROM t_dnc_servers WHERE dnc_server_name = 'SRV2'"});
        row("client renamed, name taken elsewhere", "cmdAdd", 1, "LATHE1", "M5", "LATHE7,MILL2",
            {"UPDATE t_dnc_server_clients SET client_name = 'LATHE7' WHERE client_name = 'LATHE1'",
             "UPDATE t_dnc_server_clients SET client_name = 'LATHE1' WHERE client_name = "
             "'GRIND4'"},
            "DNC Client \"LATHE1\" is no longer on DNC Server \"SRV1\"");
    }
    void move() {
        QFETCH(QString, button);
        QFETCH(int, from);
        QFETCH(QString, client);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QStringList, meanwhile);
        QFETCH(QString, message);
        AdminInstallation db(kPlant);
        const QVariant mill = db.ClientId("MILL2");
        db.Exec("INSERT INTO t_client_directory (client_id, directory_direct) VALUES (?, ?)",
                {mill, "C:\\NC\\MILL2"});
        db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                {mill, db.ClientId("M5")});
        MoveWindow w(db);
        QVERIFY(w.ready);
        MessageRecorder messages;
        if (!client.isEmpty()) {
            ClickEntry(w.List(from), client);
        }
        for (const QString& statement : meanwhile) {
            QVERIFY(db.Exec(statement));
        }
        const QStringList rowsBefore = AllClientRows(db);
        const QStringList srv3 = db.ClientsOf("SRV3");
        w.Click(button);
        QCOMPARE(Entries(w.List(0)).join(','), left);
        QCOMPARE(Entries(w.List(1)).join(','), right);
        QVERIFY(w.ListsShowDatabase());
        QCOMPARE(AllClientRows(db), rowsBefore);
        QCOMPARE(db.ClientsOf("SRV3"), srv3);
        QCOMPARE(messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // A right click on either list offers to export the left server's clients.
    void rightButtonExport_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("left");  // server on the left
        QTest::addColumn<int>("side");      // list clicked
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QString>("exported");  // "server: clients", or nothing
        const QString srv1 = "SRV1: LATHE1,MILL2", on = "TRUE";
        QTest::newRow("right list, yes") << on << "SRV1" << 1 << MsgAnswer::Yes << srv1;
        QTest::newRow("no") << on << "SRV1" << 0 << MsgAnswer::No << "";
        QTest::newRow("flag off") << "FALSE"
                                  << "SRV1" << 0 << MsgAnswer::Yes << "";
        QTest::newRow("left list empty") << on << "EMPTY" << 1 << MsgAnswer::Yes << "";
    }
    void rightButtonExport() {
        QFETCH(QString, flag);
        QFETCH(QString, left);
        QFETCH(int, side);
        QFETCH(MsgAnswer, answer);
        QFETCH(QString, exported);
        AdminInstallation db(ServerSetup(kPlant)
                             << std::pair{QStringLiteral("EMPTY"), QStringList()});
        ExportDncAdminFlag = flag;
        QString calls;
        ExportClientsToDncAdmin = [&calls](const QString& server, const QStringList& clients) {
            calls += server + ": " + clients.join(',');
        };
        LastMoveServers = {left, "SRV3"};
        MoveWindow w(db);
        QVERIFY(w.ready);
        MessageRecorder messages;
        messages.Answer(answer);
        QTest::mouseClick(w.List(side)->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        ExportClientsToDncAdmin = {};
        QCOMPARE(calls, exported);
        const bool asked = flag == "TRUE" && left != "EMPTY";
        QCOMPARE(
            messages.Texts(),
            asked ? QStringList{"Export \"" + left + "\" to DNCAdmin.ini file?"} : QStringList());
    }
};

KESTRUM_TEST(TestMoveWindow)
#include "tst_frmClients.moc"
