// The life cycle of server and client rows, the current client and its mode record.

#include "db/client_attributes.h"
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

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void addClientMakesItsRowAndSevenDependentRows() {
        TempInstallation tmp;
        MessageRecorder messages;
        PutServer(tmp, "OTHER");
        AddServer("O'HARA");  // apostrophes are bound, never spliced
        AddServer("O'HARA");
        QCOMPARE(Count(tmp, "t_dnc_servers"), 2);
        QVERIFY(AddClientMDB("BOB'S LATHE", "O'HARA"));
        QCOMPARE(
            tmp.Query("SELECT client_id, client_name, dnc_server_id FROM t_dnc_server_clients"),
            (QList<QVariantList>{{1, "BOB'S LATHE", 2}}));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1"));
        QCOMPARE(GetClientID("BOB'S LATHE"), std::optional<qint32>(1));
        QCOMPARE(messages.Count(), 0);
    }

    void addClientStopsWithoutItsServer() {
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(!AddClientMDB("LATHE1", "NOSUCH"));
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 6#", 3021, 1,
                                        "The DNC Server \"NOSUCH\" does not exist; the client "
                                        "\"LATHE1\" was not created",
                                        "Kestrum")});
        QCOMPARE(DependentIds(tmp) << QString::number(Count(tmp, "t_dnc_server_clients")),
                 QStringList(7, QString()) << "0");
    }

    void aNewClientGetsItsOwnRowsBesideANamesake() {
        TempInstallation tmp;
        if (tmp.OnServer()) {
            QSKIP("the server refuses a second client of the same name");
        }
        MessageRecorder messages;
        AddServer("CNCSRV1");
        QVERIFY(AddClientMDB("A", "CNCSRV1"));
        QVERIFY(AddClientMDB("B", "CNCSRV1"));
        RenameClientMDB("B", "A");  // renaming does not prevent it
        QVERIFY(AddClientMDB("A", "CNCSRV1"));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1,2,3"));
        QCOMPARE(GetClientID("A"), std::optional<qint32>(1));
    }

    void deleteClientRemovesItsRowAndShopTerminalListings() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer("CNCSRV1");
        QVERIFY(AddClientMDB("SHOP", "CNCSRV1"));
        QVERIFY(AddClientMDB("MILL", "CNCSRV1"));
        for (const auto& [shop, listed] : {std::pair{1, 1}, {1, 2}, {2, 2}, {2, 1}}) {
            QVERIFY(InsertRecordMDB("t_shopterm_clients", {"shop_client_id", "clients_id"},
                                    {SqlValue::Number(shop), SqlValue::Number(listed)}));
        }
        QVERIFY(InsertRecordMDB("t_remote", {"rem_client_id"}, {SqlValue::Number(2)}));
        QVERIFY(DeleteClientRecordsMDB("MILL"));
        QCOMPARE(tmp.Query("SELECT shop_client_id, clients_id FROM t_shopterm_clients"),
                 (QList<QVariantList>{{1, 1}, {2, 1}}));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1,2"));  // its other rows stay
        QCOMPARE(Count(tmp, "t_remote"), 1);
        QVERIFY(!DeleteClientRecordsMDB("MILL"));
        QCOMPARE(messages.Count(), 0);

        // An id is never handed out again: the old rows must not pass to a new client.
        QVERIFY(AddClientMDB("MILL", "CNCSRV1"));
        QCOMPARE(GetClientID("MILL"), std::optional<qint32>(3));
        DeleteServer("CNCSRV1");
        AddServer("CNCSRV1");
        QCOMPARE(GetServerID("CNCSRV1"), std::optional<qint32>(2));
        QCOMPARE(Count(tmp, "t_dnc_server_clients", "dnc_server_id = 1"), 2);
    }

    void currentClientAndModeRecord() {
        TempInstallation tmp;
        MessageRecorder messages;
        const qint64 server = PutServer(tmp, "CNCSRV1");
        QVERIFY(AddClientMDB("LATHE1", "CNCSRV1"));
        QVERIFY(AddClientMDB("LINE1", "CNCSRV1"));
        tmp.Exec(
            "UPDATE t_dnc_server_clients SET NODE_ID = 'TOOL', PORT_ID = 'P1', "
            "protocol_id = 7, com_ports = ' 1 3' WHERE client_id = 1");
        tmp.Exec(
            "UPDATE t_client_mode SET cnc_comport = 3, m_baud = 4800, m_parity = 'N' "
            "WHERE client_id = 1");
        tmp.Exec("UPDATE t_protocol SET protocol_dll = 'remote.dll' WHERE protocol_id = 7");
        tmp.Exec("UPDATE t_dnc_server_clients SET protocol_id = 62 WHERE client_id = 2");

        CurrentClientName = QStringLiteral("LATHE1");
        QVERIFY(ReadCurrentClientIds());
        QCOMPARE(CurrentClientId, 1);
        QCOMPARE(CurrentServerId, qint32(server));
        const ClientModeRecord& m = CurrentClientMode;
        QCOMPARE(
            (QStringList{m.ServerName, m.ClientName, m.NodeId, m.PortId, m.DetectedPorts,
                         m.ProtocolLibrary, m.Protocol, m.Baud, m.Parity, m.DataBits, m.StopBits}),
            (QStringList{"CNCSRV1", "LATHE1", "TOOL", "P1", " 1 3", "remote.dll", "REMOTE", "4800",
                         "N", "7", "2"}));
        QCOMPARE(m.PortNumber, qint16(3));

        // A protocol t_protocol does not know stays its id; nothing of the client read before
        // stays behind.
        ReadExportClientMode(2);
        QCOMPARE(ExportClientMode.Protocol, "62");
        ReadClientMode(2);
        QCOMPARE(CurrentClientMode.Protocol, "62");
        QCOMPARE(CurrentClientMode.ProtocolLibrary, QString());

        // A client that is gone changes nothing.
        CurrentClientName = QStringLiteral("GONE");
        QVERIFY(!ReadCurrentClientIds());
        QCOMPARE(CurrentClientId, 1);
        QCOMPARE(CurrentClientMode.ClientName, "LINE1");
        QCOMPARE(messages.Count(), 0);
    }
};

KESTRUM_TEST(TestRecords)
#include "tst_records.moc"
