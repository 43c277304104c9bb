// Failures in the report form: a closed connection, real SQLite errors, and DNC.mdb files
// that are no configuration database at all.

#include "db/client_attributes.h"
#include "db_test_helpers.h"
#include "tests/support/test_main.h"

#include <functional>

using Call = std::function<void()>;
Q_DECLARE_METATYPE(Call)

class TestErrors : public QObject {
    Q_OBJECT

private slots:
    void closedConnectionIsReported_data() {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("prefix");
        const auto row = [](const char* tag, Call call, const char* prefix) {
            QTest::newRow(tag) << call << QString::fromLatin1(prefix);
        };
        const QString t = QStringLiteral("t_dnc_servers");
        const QString n = QStringLiteral("dnc_server_name");
        const SqlValue v = SqlValue::Text("X");
        // clang-format off
        row("select", [=] { QVERIFY(!OpenSelectMDB(t, n, v, "=", "*").IsOpen()); }, "Error 3#");
        row("sorted", [=] { QVERIFY(!OpenSortedSelectMDB(t, n, v, "=", n).IsOpen()); }, "Error 2#");
        row("insert", [=] { QVERIFY(!InsertRecordMDB(t, {n}, {v})); }, "Error 6#");
        row("update", [=] { QVERIFY(!UpdateRecordsMDB(t, n, v, n, v)); },
            "Error UpdateRecordsMDB ");
        row("delete", [=] { DeleteRecordsMDB(t, n, v); }, "Error Delete Shop Clients ");
        row("server list", [] { QCOMPARE(LoadServerNames(), -1); }, "Error 2#");
        row("client dirs", [] { QCOMPARE(LoadClientDirs(1), -1); }, "Error Client dirs");
        row("dir props", [] { QVERIFY(!GetClientDirPropsMDB(1)); }, "Error GetClientDirPropsMDB");
        row("client mode", [] { ReadClientMode(1); }, "Error Client Mode");
        // clang-format on
    }
    void closedConnectionIsReported() {
        QFETCH(Call, call);
        QFETCH(QString, prefix);
        TempInstallation tmp;
        DncConnection.Close();
        MessageRecorder messages;
        call();
        QVERIFY(messages.Count() >= 1);
        const int line = prefix == QLatin1String("Error Client Mode") ? 1 : 2;
        QCOMPARE(Describe(messages.Messages().first()),
                 Describe({ReportText(prefix, 3704, line, "The database connection is not open",
                                      "Kestrum"),
                           "Kestrum"}));
        QCOMPARE(tmp.Count("t_dnc_servers"), 0);
    }

    void sqliteErrorsAreReportedAndTheSequenceGoesOn() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer("CNCSRV1");
        QVERIFY(tmp.Exec("DROP TABLE t_command"));
        // The report waits for the commit: another connection already sees the client then.
        qint64 visibleAtReport = -1;
        MessageHandler recorder;
        recorder = SetMessageHandler([&](const MessageRequest& request) {
            visibleAtReport = tmp.Count("t_dnc_server_clients");
            return recorder(request);
        });
        QVERIFY(!AddClientMDB("LATHE1", "CNCSRV1"));
        SetMessageHandler(recorder);
        if (tmp.OnServer()) {
            // The server keeps nothing of a transaction with a failed statement: no client.
            // Its dependent rows go in one statement, reported at the first of their lines.
            QCOMPARE(visibleAtReport, 0);
            QCOMPARE(messages.Texts(),
                     QStringList{ReportText(
                         "Error 6#", 2, 5, "relation \"t_command\" does not exist", "PostgreSQL")});
            QVERIFY(!GetClientID("LATHE1"));
            return;
        }
        QCOMPARE(visibleAtReport, 1);
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 6#", 1, 11, "no such table: t_command", "SQLite")});
        // The six rows before it and the client row were still made.
        const qint64 id = GetClientID("LATHE1").value_or(-1);
        QCOMPARE(tmp.Count("t_timeout_table_up", "client_id = ?", {id}), 1);

        messages.Clear();
        QVERIFY(!InsertRecordMDB("t_client_mode", {"client_id"}, {SqlValue::Null()}));
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 6#", 1299, 2,
                                        "NOT NULL constraint failed: t_client_mode.client_id",
                                        "SQLite")});
    }

    void foreignDatabaseFilesGiveReports_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("firstReport");
        const QString notOpen("Error 2#3704 at Line 2 - The database connection is not open: ");
        QByteArray corrupt("SQLite format 3\0", 16);
        corrupt += QByteArray(4096, '\x5a');
        QTest::newRow("empty") << QByteArray() << false << notOpen;
        QTest::newRow("corrupt") << corrupt << true
                                 << "Error 2#26 at Line 2 - file is not a database";
        QTest::newRow("other tables")
            << QByteArray() << true << "Error 2#1 at Line 2 - no such table: t_dnc_servers";
    }
    void foreignDatabaseFilesGiveReports() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, opens);
        QFETCH(QString, firstReport);
        TempInstallation::Options options;
        options.createDatabase = false;
        TempInstallation tmp(options);
        if (QTest::currentDataTag() == QByteArrayLiteral("other tables")) {
            tmp.Exec("CREATE TABLE parts (name TEXT)");  // creates the file
        } else {
            tmp.WriteFile("DNC.mdb", bytes);
        }
        QCOMPARE(tmp.OpenConnection(), opens);
        MessageRecorder messages;
        QCOMPARE(CheckServerConfig(), qint16(-1));
        QVERIFY(!AddClientMDB("LATHE1", "CNCSRV1"));
        QVERIFY(!GetClientID("LATHE1"));
        QCOMPARE(LoadAllClientNames(), -1);
        // A list that could not be read is not reported as "0 Servers configured!".
        QVERIFY(messages.Texts().first().startsWith(firstReport));
        QVERIFY(messages.Texts().at(1).startsWith("Error "));
        QCOMPARE(messages.Count(), 4);
        QCOMPARE(tmp.ReadFile("DNC.mdb").left(bytes.size()), bytes);
    }
};

KESTRUM_TEST(TestErrors)
#include "tst_errors.moc"
