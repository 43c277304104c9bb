// The life cycle of server and client rows, the current client, its mode record and the
// protocol name shown for it.

#include "db/client_attributes.h"
#include "db/protocol_names.h"
#include "db/statement_count.h"
#include "db/transaction.h"
#include "db_test_helpers.h"
#include "tests/support/test_main.h"

namespace {

// The client ids in each table that holds one row per client, in id order.
QStringList DependentIds(const TempInstallation& tmp) {
    QStringList all;
    for (const char* table :
         {"t_client_mode", "t_client_terminal_mode", "t_filter_table_down", "t_filter_table_up",
          "t_timeout_table_down", "t_timeout_table_up", "t_command"}) {
        all << tmp.TextRows(QStringLiteral("SELECT client_id FROM %1 ORDER BY 1").arg(table))
                   .join(QLatin1Char(','));
    }
    return all;
}

// A client as one comparable line: every field of its mode record, its BTS flags and folders.
QString Describe(const NamedClient& c) {
    const ClientModeRecord& m = c.Mode;
    QStringList fields{m.ServerName,    m.ClientName,      m.NodeId,   m.PortId,
                       m.DetectedPorts, m.ProtocolLibrary, m.Protocol, m.Baud,
                       m.Parity,        m.DataBits,        m.StopBits};
    for (const qint64 number :
         {qint64(m.ClientId), qint64(m.ServerId), qint64(m.PortNumber), qint64(m.HasModeRow),
          qint64(m.HasClientRow), qint64(c.BtsUsed), qint64(c.BtsLoop)}) {
        fields << QString::number(number);
    }
    for (const DirectoryRecord& d : c.Dirs) {
        fields << QStringLiteral("%1 %2 %3 %4 %5")
                      .arg(d.dir_id)
                      .arg(d.directory_direct, d.directory_alias)
                      .arg(d.dir_mode)
                      .arg(d.explore_from_here);
    }
    return fields.join(QLatin1Char('|'));
}

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    // Without its server nothing is made; with it, the client's row and seven dependent rows.
    void addClientMakesItsRowAndSevenDependentRows() {
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(!AddClientMDB("LATHE1", "NOSUCH"));
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 6#", 3021, 1,
                                        "The DNC Server \"NOSUCH\" does not exist; the client "
                                        "\"LATHE1\" was not created",
                                        "Kestrum")});
        QCOMPARE(DependentIds(tmp) + tmp.Rows("t_dnc_server_clients"), QStringList(7, QString()));
        messages.Clear();
        PutServer(tmp, "OTHER");
        AddServer("O'HARA");  // apostrophes are bound, never spliced
        AddServer("O'HARA");
        QCOMPARE(tmp.Count("t_dnc_servers"), 2);
        QVERIFY(AddClientMDB("BOB'S LATHE", "O'HARA"));
        QCOMPARE(
            tmp.Query("SELECT client_id, client_name, dnc_server_id FROM t_dnc_server_clients"),
            (QList<QVariantList>{{1, "BOB'S LATHE", 2}}));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1"));
        QCOMPARE(GetClientID("BOB'S LATHE"), std::optional<qint32>(1));
        QCOMPARE(messages.Count(), 0);
    }

    // A client added costs few round trips on a server: its seven dependent rows in one
    // statement there, and the eight rows' change-log records in one statement before the
    // commit; the client's server is not read again.
    // A rolled back addition leaves no record behind.
    void addedClientsRecordsInFewStatements() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer("CNCSRV1");
        QVERIFY(AddClientMDB("WARM", "CNCSRV1"));  // statements prepared once
        const quint64 before = StatementsSent();
        QVERIFY(AddClientMDB("LATHE1", "CNCSRV1"));
        // Look-up, begin, the client's row, its other rows (7 on a file, 1 on a server), the
        // records, commit.
        QCOMPARE(StatementsSent() - before, quint64(tmp.OnServer() ? 6 : 12));
        QCOMPARE(tmp.TextRows("SELECT table_name, operation, server_id, server_name, client_name "
                              "FROM kestrum_change_log WHERE client_id = 2 ORDER BY change_id"),
                 (QStringList{"t_dnc_server_clients|insert|1|CNCSRV1|LATHE1",
                              "t_client_mode|insert|1|CNCSRV1|LATHE1",
                              "t_client_terminal_mode|insert|1|CNCSRV1|LATHE1",
                              "t_filter_table_down|insert|1|CNCSRV1|LATHE1",
                              "t_filter_table_up|insert|1|CNCSRV1|LATHE1",
                              "t_timeout_table_down|insert|1|CNCSRV1|LATHE1",
                              "t_timeout_table_up|insert|1|CNCSRV1|LATHE1",
                              "t_command|insert|1|CNCSRV1|LATHE1"}));
        const qint64 records = tmp.Count("kestrum_change_log");
        for (const bool commit : {false, true}) {
            DatabaseTransaction transaction(QStringLiteral("Error test#"));
            QVERIFY(UpdateRecordsMDB("t_dnc_server_clients", "client_id", SqlValue::Number(2),
                                     "NODE_ID", SqlValue::Text(commit ? "07" : "05")));
            QCOMPARE(tmp.Count("kestrum_change_log"), records);  // kept until the commit
            if (commit) {
                QVERIFY(transaction.Commit());
            } else {
                transaction.Rollback();
            }
        }
        QCOMPARE(tmp.TextRows("SELECT operation, changes FROM kestrum_change_log WHERE "
                              "change_id > ? ORDER BY change_id",
                              {records}),
                 QStringList{"update|[[\"NODE_ID\",\"\",\"07\"]]"});
        QCOMPARE(messages.Count(), 0);
    }

    // Deleting a client removes its row and its shop-terminal listings (the window test
    // checks which); an id is never handed out again, so old rows never pass to a new client,
    // nor do a namesake's.
    void deletedIdsAreNeverReused() {
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(tmp.AddPlant({{"CNCSRV1", {"SHOP", "MILL"}}}));
        QVERIFY(DeleteClientRecordsMDB("MILL"));
        QVERIFY(!DeleteClientRecordsMDB("MILL"));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1,2"));  // its other rows stay
        QVERIFY(AddClientMDB("MILL", "CNCSRV1"));
        QCOMPARE(GetClientID("MILL"), std::optional<qint32>(3));
        DeleteServer("CNCSRV1");
        AddServer("CNCSRV1");
        QCOMPARE(GetServerID("CNCSRV1"), std::optional<qint32>(2));
        QCOMPARE(tmp.Count("t_dnc_server_clients", "dnc_server_id = 1"), 2);
        QCOMPARE(messages.Count(), 0);
        if (tmp.OnServer()) {
            return;  // the server refuses a second client of the same name
        }
        // A new client gets rows of its own beside a namesake; renaming does not prevent it.
        RenameClientMDB("MILL", "SHOP");
        QVERIFY(AddClientMDB("SHOP", "CNCSRV1"));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1,2,3,4"));
        QCOMPARE(GetClientID("SHOP"), std::optional<qint32>(1));
    }

    // The list readers read many clients at once; each must read as the client-by-client
    // readers do, also where the rows are not as the program makes them.
    void clientsByNameReadsAsClientByClient_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("readAlone");  // names read statement by statement
        QTest::newRow("mode row, protocol, folders")
            << QStringList{"LATHE1", "MILL1", "LINE1"} << 0;
        QTest::newRow("no mode row, unknown protocol, server gone")
            << QStringList{"NOMODE", "ORPHAN"} << 0;
        QTest::newRow("namesakes in other letter case: the first row wins")
            << QStringList{"twin", "TWIN", "Twin"} << 0;
        QTest::newRow("two mode rows: the first stored") << QStringList{"DOUBLE"} << 1;
        QTest::newRow("letters beyond A to Z")
            << QStringList{QStringLiteral("DREHBANK-") + QChar(0xC4),
                           QStringLiteral("drehbank-") + QChar(0xE4)}
            << 2;
        QTest::newRow("missing, repeated, empty")
            << QStringList{"GONE", "LATHE1", "LATHE1", ""} << 0;
        QStringList many;
        for (int i = 0; i < 150; ++i) {
            many << QStringLiteral("M%1").arg(149 - i, 3, 10, QLatin1Char('0'));
        }
        QTest::newRow("more names than one statement takes") << many << 0;
    }
    void clientsByNameReadsAsClientByClient() {
        QFETCH(QStringList, names);
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(tmp.AddPlant(
            {{"CNCSRV1", {"LATHE1", "MILL1", "LINE1", "NOMODE", "ORPHAN", "twin", "DOUBLE"}},
             {"CNCSRV2",
              {QStringLiteral("DREHBANK-") + QChar(0xC4),
               QStringLiteral("drehbank-") + QChar(0xE4)}}}));
        // A server refuses namesakes in other letter case; only an old file can hold them.
        if (!tmp.OnServer()) {
            QVERIFY(AddClientMDB("TWIN", "CNCSRV1"));
        } else if (names.contains("TWIN")) {
            QSKIP("the server refuses a second client of the same name");
        }
        QStringList rows;
        for (int i = 0; i < 150; ++i) {
            rows << QStringLiteral("('M%1', 2)").arg(i, 3, 10, QLatin1Char('0'));
        }
        tmp.Exec("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES " +
                 rows.join(", "));
        tmp.Exec(
            "UPDATE t_dnc_server_clients SET protocol_id = 7, bts_used = -1, bts_loop = 1, "
            "NODE_ID = 'TOOL', com_ports = ' 1 3' WHERE client_name = 'LATHE1'");
        tmp.Exec("UPDATE t_protocol SET protocol_dll = 'remote.dll' WHERE protocol_id = 7");
        tmp.Exec("UPDATE t_client_mode SET cnc_comport = 3, m_baud = 4800 WHERE client_id = 1");
        tmp.Exec(
            "INSERT INTO t_client_directory (client_id, directory_direct, directory_alias, "
            "dir_mode) VALUES (1, 'c:\\b', 'B', 2), (1, 'C:\\A', 'A', 1), (1, 'C:\\a', "
            "'A2', 3), (2, 'C:\\M', '', 3), (999, 'C:\\LEFT', '', 3)");
        tmp.Exec("UPDATE t_dnc_server_clients SET protocol_id = 62 WHERE client_name = 'LINE1'");
        tmp.Exec("DELETE FROM t_client_mode WHERE client_id = 4");
        tmp.Exec(
            "UPDATE t_dnc_server_clients SET dnc_server_id = 77, protocol_id = 99 "
            "WHERE client_name = 'ORPHAN'");
        tmp.Exec("INSERT INTO t_client_mode (client_id, m_baud) VALUES (8, 1200), (999, 300)");
        tmp.Exec("UPDATE t_client_mode SET m_baud = 2400 WHERE client_id = 8 AND m_baud = 9600");

        // The client-by-client reader, the measure below, read field by field once: a
        // protocol t_protocol does not know stays its id.
        const ClientModeRecord m = ClientModeOf(1);
        QCOMPARE((QStringList{m.ServerName, m.ClientName, m.NodeId, m.DetectedPorts,
                              m.ProtocolLibrary, m.Protocol, m.Baud, m.Parity, m.DataBits,
                              m.StopBits, QString::number(m.PortNumber)}),
                 (QStringList{"CNCSRV1", "LATHE1", "TOOL", " 1 3", "remote.dll", "REMOTE", "4800",
                              "E", "7", "2", "3"}));
        QCOMPARE(ClientModeOf(3).Protocol + ClientModeOf(3).ProtocolLibrary, "62");
        QStringList expected;
        for (const QString& name : std::as_const(names)) {
            const std::optional<qint32> id = GetClientID(name);
            if (!id) {
                expected << name + QStringLiteral(": none");
                continue;
            }
            NamedClient client;
            client.Mode = ClientModeOf(*id);
            const RemoteAttributesRecord remote = RemoteAttributesOf(*id);
            client.BtsUsed = remote.bts_used;
            client.BtsLoop = remote.bts_loop;
            LoadClientDirs(*id);
            client.Dirs = ClientDirs;
            expected << name + QStringLiteral(": ") + Describe(client);
        }
        const quint64 before = StatementsSent();
        const std::optional<NamedClients> read = ClientsByName(names, true);
        const quint64 statements = StatementsSent() - before;
        QVERIFY(read);
        QStringList actual;
        for (const QString& name : std::as_const(names)) {
            const auto client = read->constFind(name);
            actual << name + QStringLiteral(": ") +
                          (client == read->cend() ? QStringLiteral("none") : Describe(*client));
        }
        QCOMPARE(actual, expected);
        // Two statements for every 64 names, and eight for each name read alone.
        QFETCH(int, readAlone);
        QVERIFY2(statements <= quint64(2 * ((names.size() + 63) / 64) + 8 * readAlone),
                 qPrintable(QString::number(statements)));
        QCOMPARE(messages.Count(), 0);
    }

    // The one rule that turns a stored protocol into the name windows and files show.
    void protocolDisplayName() {
        // Each stored text with the name shown and the composite code (0: none).
        QStringList shown;
        for (const char* stored : {"61", "63", "60", "64", "71", "74", "101", "104", "XON",
                                   "NOTHING", "N", "xon", "BTR", ""}) {
            const ProtocolDisplay display = DisplayProtocol(stored);
            QCOMPARE(ProtocolDisplayName(stored), display.Name);
            shown << QString(stored) + ": " + display.Name + " " +
                         QString::number(display.Code.value_or(0));
        }
        QCOMPARE(shown, (QStringList{"61: LINE TERMINAL 61", "63: LINE TERMINAL 63", "60: 60 0",
                                     "64: 64 0", "71: REMOTE 71", "74: 74 0", "101: MAZATROL 101",
                                     "104: 104 0", "XON: STANDARD 0", "NOTHING: STANDARD 0",
                                     "N: N 0", "xon: xon 0", "BTR: BTR 0", ":  0"}));
    }
};

KESTRUM_TEST(TestRecords)
#include "tst_records.moc"
