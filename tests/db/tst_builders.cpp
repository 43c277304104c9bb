// The statement builders on a real DNC.mdb: every table through insert, select, update and
// delete; values bound (apostrophes); names checked; the edit modes; the field readers.

#include "db_test_helpers.h"
#include "tests/support/test_main.h"

#include <QSet>

class TestBuilders : public QObject {
    Q_OBJECT

private slots:
    void schemaNamesMatchTheSchemaFile() {
        TempInstallation tmp;
        QVERIFY(tmp.IsValid());
        QSet<QString> tables;
        for (const QVariantList& row : tmp.Query(QStringLiteral(
                 "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                 "'sqlite_%'"))) {
            tables << row.first().toString();
        }
        const QStringList known = SchemaTables();
        QCOMPARE(tables, QSet<QString>(known.begin(), known.end()));
        for (const QString& table : known) {
            QStringList columns;
            for (const QVariantList& row :
                 tmp.Query(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table})) {
                columns << row.first().toString();
            }
            QCOMPARE(SchemaColumns(table), columns);
        }
    }

    void everyTableThroughTheBuilders_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("keyValue");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored");  // as SQLite holds it
        const auto row = [](const char* table, const char* key, QVariant keyValue,
                            const char* column, QVariant value, QVariant stored) {
            QTest::newRow(table) << QString::fromLatin1(table) << QString::fromLatin1(key)
                                 << keyValue << QString::fromLatin1(column) << value << stored;
        };
        row("t_dnc_servers", "dnc_server_name", "O'HARA", "dnc_server_name", "O'HARA2", "O'HARA2");
        row("t_dnc_server_clients", "client_name", "MILL'1", "bts_used", true, -1);
        row("t_client_mode", "client_id", 41, "m_parity", "N", "N");
        row("t_client_terminal_mode", "client_id", 41, "line_length", 132, 132);
        row("t_filter_table_down", "client_id", 41, "stop_Endpercent", true, -1);
        row("t_filter_table_up", "client_id", 41, "filesave_mode", "A'B", "A'B");
        row("t_timeout_table_down", "client_id", 41, "eob_delay", 5, 5);
        row("t_timeout_table_up", "client_id", 41, "up_timeout", 30, 30);
        row("t_command", "client_id", 41, "client_id", 42, 42);
        row("t_remote", "rem_client_id", 41, "report_name", "REP'ORT", "REP'ORT");
        row("t_shopterm_clients", "shop_client_id", 41, "clients_id", 43, 43);
        row("t_client_directory", "directory_direct", "C:\\BOB'S PARTS", "dir_mode", 2, 2);
        row("t_protocol", "protocol_id", 61, "protocol_name", "LINE XON", "LINE XON");
    }
    void everyTableThroughTheBuilders() {
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QVariant, keyValue);
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        TempInstallation tmp;
        MessageRecorder messages;
        const SqlValue k = ValueOf(keyValue);

        QVERIFY(InsertRecordMDB(table, {key}, {k}));
        const Recordset found =
            OpenSelectMDB(table, key, k, QStringLiteral("="), QStringLiteral("*"));
        QVERIFY(found.IsOpen());
        QCOMPARE(found.RecordCount(), 1);
        QCOMPARE(found.Field(0, key), keyValue);
        QCOMPARE(found.ColumnCount(), int(SchemaColumns(table).size()));

        QVERIFY(UpdateRecordsMDB(table, key, k, column, ValueOf(value)));
        const QString where = (column == key ? column : key) + QStringLiteral(" = ?");
        const QVariant lookFor = column == key ? stored : keyValue;
        QCOMPARE(tmp.QueryValue(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM ") +
                                    table + QStringLiteral(" WHERE ") + where,
                                {lookFor})
                     .toString(),
                 stored.toString());

        const SqlValue remaining = column == key ? ValueOf(stored) : k;
        DeleteRecordsMDB(table, key, remaining);
        QCOMPARE(
            Count(tmp, table, key + QStringLiteral(" = ?"), {column == key ? stored : keyValue}),
            0);
        QCOMPARE(messages.Count(), 0);
    }

    void apostrophesAreStoredAndFound() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer(QStringLiteral("O'HARA"));
        const std::optional<qint32> server = GetServerID(QStringLiteral("O'HARA"));
        QVERIFY(server);
        QVERIFY(AddClientMDB(QStringLiteral("BOB'S LATHE"), QStringLiteral("O'HARA")));
        const std::optional<qint32> client = GetClientID(QStringLiteral("BOB'S LATHE"));
        QVERIFY(client);
        QVERIFY(InsertRecordMDB(
            QStringLiteral("t_client_directory"),
            {QStringLiteral("client_id"), QStringLiteral("directory_direct")},
            {SqlValue::Number(*client), SqlValue::Text(QStringLiteral("C:\\BOB'S PARTS"))}));
        QCOMPARE(LoadClientDirs(*client), 1);
        QCOMPARE(ClientDirs.first().directory_direct, QStringLiteral("C:\\BOB'S PARTS"));
        QCOMPARE(LoadServerClientNames(*server), 1);
        QCOMPARE(ServerClients.first().ClientName, QStringLiteral("BOB'S LATHE"));
        QCOMPARE(messages.Count(), 0);
    }

    void namesOutsideTheSchemaAreRefused_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("description");
        QTest::newRow("table") << "t_dnc_servers; DROP TABLE t_protocol"
                               << "dnc_server_id"
                               << "="
                               << "*"
                               << "The database has no table \"t_dnc_servers; DROP TABLE "
                                  "t_protocol\"";
        QTest::newRow("column") << "t_dnc_servers"
                                << "1=1 OR dnc_server_id"
                                << "="
                                << "*"
                                << "The table t_dnc_servers has no column \"1=1 OR "
                                   "dnc_server_id\"";
        QTest::newRow("operator") << "t_dnc_servers"
                                  << "dnc_server_id"
                                  << "= 1 OR 1 ="
                                  << "*"
                                  << "\"= 1 OR 1 =\" is not a comparison this program uses";
        QTest::newRow("column list")
            << "t_dnc_servers"
            << "dnc_server_id"
            << "="
            << "dnc_server_name, sqlite_version()"
            << "The table t_dnc_servers has no column \"sqlite_version()\"";
    }
    void namesOutsideTheSchemaAreRefused() {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, op);
        QFETCH(QString, columns);
        QFETCH(QString, description);
        TempInstallation tmp;
        MessageRecorder messages;
        const Recordset set = OpenSelectMDB(table, column, SqlValue::Number(1), op, columns);
        QVERIFY(!set.IsOpen());
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 3#", 3265, 1, description, "Kestrum")});
        QCOMPARE(Count(tmp, QStringLiteral("t_protocol")), 8);
    }

    void editModesActOnTheFirstRowOnly() {
        TempInstallation tmp;
        MessageRecorder messages;
        const QString servers = QStringLiteral("t_dnc_servers");
        const QString name = QStringLiteral("dnc_server_name");
        PutServer(tmp, QStringLiteral("A"));
        PutServer(tmp, QStringLiteral("B"));
        PutServer(tmp, QStringLiteral("A"));

        EditRecordMDB(servers, name, QStringLiteral("A"), EditMode::Ensure);  // found: no row
        QCOMPARE(Count(tmp, servers), 3);
        EditRecordMDB(servers, name, QStringLiteral("C"), EditMode::Ensure);  // added
        QCOMPARE(Count(tmp, servers, "dnc_server_name = 'C'"), 1);

        EditRecordMDB(servers, name, QStringLiteral("A"), EditMode::SetField, name,
                      SqlValue::Text(QStringLiteral("A2")));
        QCOMPARE(tmp.Query("SELECT dnc_server_name FROM t_dnc_servers ORDER BY dnc_server_id"),
                 (QList<QVariantList>{{"A2"}, {"B"}, {"A"}, {"C"}}));
        EditRecordMDB(servers, name, QStringLiteral("NONE"), EditMode::SetField, name,
                      SqlValue::Text(QStringLiteral("X")));
        EditRecordByIdMDB(servers, QStringLiteral("dnc_server_id"), 2, EditMode::Delete);
        EditRecordMDB(servers, name, QStringLiteral("NONE"), EditMode::Delete);
        QCOMPARE(tmp.Query("SELECT dnc_server_id, dnc_server_name FROM t_dnc_servers"),
                 (QList<QVariantList>{{1, "A2"}, {3, "A"}, {4, "C"}}));
        QCOMPARE(messages.Count(), 0);
    }

    void sortedSelectAndLookUps() {
        TempInstallation tmp;
        MessageRecorder messages;
        PutServer(tmp, QStringLiteral("ZETA"));
        PutServer(tmp, QStringLiteral("alpha"));
        PutServer(tmp, QStringLiteral("Beta"));
        const Recordset sorted = OpenSortedSelectMDB(
            QStringLiteral("t_dnc_servers"), QStringLiteral("dnc_server_id"), SqlValue::Number(0),
            QStringLiteral(">"), QStringLiteral("dnc_server_name"));
        QStringList names;
        for (const RecordsetRow& row : sorted) {
            names << row.value(QStringLiteral("DNC_SERVER_NAME")).toString();
        }
        QCOMPARE(names, (QStringList{"alpha", "Beta", "ZETA"}));
        QCOMPARE(LoadServerNames(), 3);
        QCOMPARE(IndexOfServerName(QStringLiteral("Beta")), 1);
        QCOMPARE(IndexOfServerName(QStringLiteral("BETA")), -1);

        QCOMPARE(
            GetFieldValueMDB(QStringLiteral("t_dnc_servers"), QStringLiteral("dnc_server_name"),
                             SqlValue::Text(QStringLiteral("beta")), QStringLiteral("="),
                             QStringLiteral("dnc_server_id")),
            std::optional<QVariant>(QVariant(qlonglong(3))));
        QVERIFY(!GetFieldValueMDB(QStringLiteral("t_dnc_servers"),
                                  QStringLiteral("dnc_server_name"),
                                  SqlValue::Text(QStringLiteral("GAMMA")), QStringLiteral("="),
                                  QStringLiteral("dnc_server_id")));
        QVERIFY(!GetServerID(QStringLiteral("GAMMA")));
        QCOMPARE(messages.Count(), 0);
    }

    void fieldReaders_data() {
        QTest::addColumn<QVariant>("field");
        QTest::addColumn<bool>("textOk");
        QTest::addColumn<int>("int16");  // -99999: kept
        QTest::addColumn<int>("yesNo");  // -1 kept, else 0 or 1
        QTest::newRow("null") << QVariant(QMetaType::fromType<QString>()) << false << -99999 << -1;
        QTest::newRow("number") << QVariant(qlonglong(9600)) << true << 9600 << 1;
        QTest::newRow("true") << QVariant(qlonglong(-1)) << true << -1 << 1;
        QTest::newRow("zero") << QVariant(qlonglong(0)) << true << 0 << 0;
        QTest::newRow("too big") << QVariant(qlonglong(70000)) << true << -99999 << 1;
        QTest::newRow("half even") << QVariant(2.5) << true << 2 << 1;
        QTest::newRow("numeric text") << QVariant(" 12 ") << true << 12 << 1;
        QTest::newRow("word") << QVariant("E") << true << -99999 << -1;
        QTest::newRow("yes word") << QVariant("True") << true << -99999 << 1;
    }
    void fieldReaders() {
        QFETCH(QVariant, field);
        QFETCH(bool, textOk);
        QFETCH(int, int16);
        QFETCH(int, yesNo);
        QString text = QStringLiteral("before");
        QCOMPARE(ReadText(field, text), textOk);
        QCOMPARE(text, textOk ? field.toString() : QStringLiteral("before"));
        qint16 small = 77;
        QCOMPARE(ReadInt16(field, small), int16 != -99999);
        QCOMPARE(int(small), int16 == -99999 ? 77 : int16);
        bool flag = true;
        bool kept = false;
        QCOMPARE(ReadYesNo(field, flag), yesNo != -1);
        QCOMPARE(ReadYesNo(field, kept), yesNo != -1);
        QCOMPARE(flag, yesNo == -1 ? true : yesNo == 1);
        QCOMPARE(kept, yesNo == 1);
    }
};

KESTRUM_TEST(TestBuilders)
#include "tst_builders.moc"
