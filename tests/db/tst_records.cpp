// The life cycle of server and client rows, the current client, its mode record and the
// protocol name shown for it.

#include "db/client_attributes.h"
#include "db/protocol_names.h"
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
        MessageRecorder messages;
        AddServer("CNCSRV1");
        QVERIFY(AddClientMDB("A", "CNCSRV1"));
        QVERIFY(AddClientMDB("B", "CNCSRV1"));
        RenameClientMDB("B", "A");  // renaming does not prevent it
        QVERIFY(AddClientMDB("A", "CNCSRV1"));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1,2,3"));
        QCOMPARE(GetClientID("A"), std::optional<qint32>(1));
    }

    // Deleting a client removes its row and its shop-terminal listings (the window test
    // checks which); an id is never handed out again, so old rows never pass to a new client.
    void deletedIdsAreNeverReused() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer("CNCSRV1");
        QVERIFY(AddClientMDB("SHOP", "CNCSRV1"));
        QVERIFY(AddClientMDB("MILL", "CNCSRV1"));
        QVERIFY(DeleteClientRecordsMDB("MILL"));
        QVERIFY(!DeleteClientRecordsMDB("MILL"));
        QCOMPARE(DependentIds(tmp), QStringList(7, "1,2"));  // its other rows stay
        QVERIFY(AddClientMDB("MILL", "CNCSRV1"));
        QCOMPARE(GetClientID("MILL"), std::optional<qint32>(3));
        DeleteServer("CNCSRV1");
        AddServer("CNCSRV1");
        QCOMPARE(GetServerID("CNCSRV1"), std::optional<qint32>(2));
        QCOMPARE(Count(tmp, "t_dnc_server_clients", "dnc_server_id = 1"), 2);
        QCOMPARE(messages.Count(), 0);
    }

    // The mode record of the current client; a protocol t_protocol does not know stays its
    // id, and a client that is gone changes nothing.
    void currentClientAndModeRecord() {
        TempInstallation tmp;
        MessageRecorder messages;
        const qint64 server = PutServer(tmp, "CNCSRV1");
        QVERIFY(AddClientMDB("LATHE1", "CNCSRV1"));
        QVERIFY(AddClientMDB("LINE1", "CNCSRV1"));
        tmp.Exec(
            "UPDATE t_dnc_server_clients SET NODE_ID = 'TOOL', PORT_ID = 'P1', "
            "protocol_id = 7, com_ports = ' 1 3' WHERE client_id = 1");
        tmp.Exec("UPDATE t_client_mode SET cnc_comport = 3, m_baud = 4800, m_parity = 'N'");
        tmp.Exec("UPDATE t_protocol SET protocol_dll = 'remote.dll' WHERE protocol_id = 7");
        tmp.Exec("UPDATE t_dnc_server_clients SET protocol_id = 62 WHERE client_id = 2");
        CurrentClientName = QStringLiteral("LATHE1");
        QVERIFY(ReadCurrentClientIds());
        QCOMPARE(CurrentServerId, qint32(server));
        const ClientModeRecord& m = CurrentClientMode;
        QCOMPARE((QStringList{m.ServerName, m.ClientName, m.NodeId, m.PortId, m.DetectedPorts,
                              m.ProtocolLibrary, m.Protocol, m.Baud, m.Parity, m.DataBits,
                              m.StopBits, QString::number(m.PortNumber)}),
                 (QStringList{"CNCSRV1", "LATHE1", "TOOL", "P1", " 1 3", "remote.dll", "REMOTE",
                              "4800", "N", "7", "2", "3"}));
        ReadClientMode(2);
        QCOMPARE(CurrentClientMode.Protocol + CurrentClientMode.ProtocolLibrary, "62");
        CurrentClientName = QStringLiteral("GONE");
        QVERIFY(!ReadCurrentClientIds());
        QCOMPARE(CurrentClientId, 1);
        QCOMPARE(messages.Count(), 0);
    }

    // The one rule that turns a stored protocol into the name windows and files show.
    void protocolDisplayName() {
        // Stored text, the name shown, the composite code (0: none).
        const struct {
            const char *stored, *shown;
            int code;
        } rows[] = {
            {"61", "LINE TERMINAL", 61},
            {"63", "LINE TERMINAL", 63},
            {"60", "60", 0},
            {"64", "64", 0},
            {"71", "REMOTE", 71},
            {"74", "74", 0},
            {"101", "MAZATROL", 101},
            {"104", "104", 0},
            {"XON", "STANDARD", 0},
            {"NOTHING", "STANDARD", 0},
            {"N", "N", 0},
            {"xon", "xon", 0},
            {"BTR", "BTR", 0},
            {"", "", 0},
        };
        for (const auto& r : rows) {
            const ProtocolDisplay display = DisplayProtocol(r.stored);
            QCOMPARE(display.Name, r.shown);
            QCOMPARE(display.Code.value_or(0), r.code);
            QCOMPARE(ProtocolDisplayName(r.stored), r.shown);
        }
    }
};

KESTRUM_TEST(TestRecords)
#include "tst_records.moc"
