// Failures in the report form: a closed connection, real SQLite errors, and DNC.mdb files
// that are no configuration database at all.

#include "admin/client_attributes.h"
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
        const QString servers = QStringLiteral("t_dnc_servers");
        const QString name = QStringLiteral("dnc_server_name");
        const SqlValue value = SqlValue::Text(QStringLiteral("X"));
        QTest::newRow("select") << Call([=] {
            QVERIFY(!OpenSelectMDB(servers, name, value, "=", "*").IsOpen());
        }) << "Error 3#";
        QTest::newRow("sorted") << Call([=] {
            QVERIFY(!OpenSortedSelectMDB(servers, name, value, "=", name).IsOpen());
        }) << "Error 2#";
        QTest::newRow("field") << Call([=] {
            QVERIFY(!GetFieldValueMDB(servers, name, value, "=", name));
        }) << "Error 5#";
        QTest::newRow("insert") << Call([=] {
            QVERIFY(!InsertRecordMDB(servers, {name}, {value}));
        }) << "Error 6#";
        QTest::newRow("update") << Call([=] {
            QVERIFY(!UpdateRecordsMDB(servers, name, value, name, value));
        }) << "Error UpdateRecordsMDB ";
        QTest::newRow("edit") << Call([=] { EditRecordMDB(servers, name, "X", EditMode::Ensure); })
                              << "Error 1#";
        QTest::newRow("delete") << Call([=] { DeleteRecordsMDB(servers, name, value); })
                                << "Error Delete Shop Clients ";
        QTest::newRow("server list") << Call([] { QCOMPARE(LoadServerNames(), 0); }) << "Error 2#";
        QTest::newRow("client dirs")
            << Call([] { QCOMPARE(LoadClientDirs(1), 0); }) << "Error Client dirs";
        QTest::newRow("target dirs")
            << Call([] { QCOMPARE(LoadTargetDirs(1), 0); }) << "Error Target dirs";
        QTest::newRow("dir props")
            << Call([] { QVERIFY(!GetClientDirPropsMDB(1)); }) << "Error GetClientDirPropsMDB";
        QTest::newRow("client mode") << Call([] { ReadClientMode(1); }) << "Error Client Mode";
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
        QCOMPARE(messages.Messages().first().text,
                 ReportText(prefix, 3704, line, "The database connection is not open", "Kestrum"));
        QCOMPARE(messages.Messages().first().title, QStringLiteral("Kestrum"));
        QCOMPARE(messages.Messages().first().buttons, MsgButtons::Ok);
        QCOMPARE(messages.Messages().first().icon, MsgIcon::None);
        QCOMPARE(Count(tmp, QStringLiteral("t_dnc_servers")), 0);
    }

    void sqliteErrorsAreReportedAndTheSequenceGoesOn() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer(QStringLiteral("CNCSRV1"));
        QVERIFY(tmp.Exec(QStringLiteral("DROP TABLE t_command")));
        // The report waits for the commit: another connection already sees the client then.
        qint64 visibleAtReport = -1;
        MessageHandler recorder;
        recorder = SetMessageHandler([&](const MessageRequest& request) {
            visibleAtReport = Count(tmp, QStringLiteral("t_dnc_server_clients"));
            return recorder(request);
        });
        QVERIFY(!AddClientMDB(QStringLiteral("LATHE1"), QStringLiteral("CNCSRV1")));
        SetMessageHandler(recorder);
        QCOMPARE(visibleAtReport, 1);
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 6#", 1, 11, "no such table: t_command", "SQLite")});
        // The six rows before it and the client row were still made.
        const qint64 id = GetClientID(QStringLiteral("LATHE1")).value_or(-1);
        QCOMPARE(Count(tmp, QStringLiteral("t_timeout_table_up"), "client_id = ?", {id}), 1);

        messages.Clear();
        QVERIFY(!InsertRecordMDB(QStringLiteral("t_client_mode"), {QStringLiteral("client_id")},
                                 {SqlValue::Null()}));
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 6#", 1299, 2,
                                        "NOT NULL constraint failed: t_client_mode.client_id",
                                        "SQLite")});
    }

    void foreignDatabaseFilesGiveReports_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("firstReport");
        QTest::newRow("empty") << QByteArray() << false
                               << "Error 2#3704 at Line 2 - The database connection is not open: ";
        QTest::newRow("access file") << QByteArray("\0\1\0\0Standard Jet DB\0", 20) << false
                                     << "Error 2#3704 at Line 2 - The database connection is "
                                        "not open: ";
        QByteArray corrupt("SQLite format 3\0", 16);
        corrupt += QByteArray(4096, '\x5a');
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
            tmp.Exec(QStringLiteral("CREATE TABLE parts (name TEXT)"));  // creates the file
        } else {
            tmp.WriteFile(QStringLiteral("DNC.mdb"), bytes);
        }
        QCOMPARE(tmp.OpenConnection(), opens);
        MessageRecorder messages;
        QCOMPARE(CheckServerConfig(), qint16(-1));
        QVERIFY(!AddClientMDB(QStringLiteral("LATHE1"), QStringLiteral("CNCSRV1")));
        QVERIFY(!GetClientID(QStringLiteral("LATHE1")));
        QCOMPARE(LoadAllClientNames(), 0);
        QVERIFY(messages.Texts().first().startsWith(firstReport));
        QCOMPARE(messages.Texts().at(1),
                 QStringLiteral("0 Servers configured!, create this "
                                "Server\\w Clients prior to this selection"));
        QCOMPARE(messages.Count(), 5);
        QCOMPARE(tmp.ReadFile(QStringLiteral("DNC.mdb")).left(bytes.size()), bytes);
    }
};

KESTRUM_TEST(TestErrors)
#include "tst_errors.moc"
