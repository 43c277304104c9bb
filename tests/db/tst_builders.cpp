// The statement builders on a real DNC.mdb: every table through insert, select, update and
// delete; values bound (apostrophes); names checked; the edit modes; the field readers.

#include "db_test_helpers.h"
#include "tests/support/test_main.h"

namespace {

struct TableCase {
    const char* table;
    const char* key;
    QVariant keyValue;
    const char* column;  // updated to value; SQLite then holds stored
    QVariant value;
    QVariant stored;
};

// clang-format off
const TableCase kTables[] = {
    {"t_dnc_servers", "dnc_server_name", "O'HARA", "dnc_server_name", "O'HARA2", "O'HARA2"},
    {"t_dnc_server_clients", "client_name", "MILL'1", "bts_used", true, -1},
    {"t_client_mode", "client_id", 41, "m_parity", "N", "N"},
    {"t_filter_table_down", "client_id", 41, "stop_Endpercent", true, -1},
    {"t_filter_table_up", "client_id", 41, "filesave_mode", "A'B", "A'B"},
    {"t_timeout_table_up", "client_id", 41, "up_timeout", 30, 30},
    {"t_command", "client_id", 41, "client_id", 42, 42},
    {"t_remote", "rem_client_id", 41, "report_name", "REP'ORT", "REP'ORT"},
    {"t_shopterm_clients", "shop_client_id", 41, "clients_id", 43, 43},
    {"t_client_directory", "directory_direct", "C:\\BOB'S PARTS", "dir_mode", 2, 2},
    {"t_protocol", "protocol_id", 61, "protocol_name", "LINE XON", "LINE XON"},
};
// clang-format on

}  // namespace

class TestBuilders : public QObject {
    Q_OBJECT

private slots:
    void schemaNamesMatchTheSchemaFile() {
        TempInstallation tmp;
        QStringList known = SchemaTables();
        known.sort();
        QCOMPARE(tmp.TableNames(), known);
        for (const QString& table : known) {
            // The server folds unquoted names to lower case, as it does in every statement.
            QCOMPARE(SchemaColumns(table).join(',').toLower(),
                     tmp.ColumnNames(table).join(',').toLower());
        }
    }

    void everyTableThroughTheBuilders_data() {
        QTest::addColumn<const TableCase*>("row");
        for (const TableCase& row : kTables) {
            QTest::newRow(row.table) << &row;
        }
    }
    void everyTableThroughTheBuilders() {
        QFETCH(const TableCase*, row);
        const QString table = row->table;
        const QString key = row->key;
        const QString column = row->column;
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(InsertRecordMDB(table, {key}, {ValueOf(row->keyValue)}));
        const Recordset found = OpenSelectMDB(table, key, ValueOf(row->keyValue), "=", "*");
        QVERIFY(found.IsOpen());
        QCOMPARE(found.RecordCount(), 1);
        QCOMPARE(found.Field(0, key), row->keyValue);

        QVERIFY(UpdateRecordsMDB(table, key, ValueOf(row->keyValue), column, ValueOf(row->value)));
        const QVariant rowKey = column == key ? row->stored : row->keyValue;  // key changed?
        QCOMPARE(tmp.TextRows("SELECT " + column + " FROM " + table + " WHERE " + key + " = ?",
                              {rowKey}),
                 QStringList{row->stored.toString()});
        DeleteRecordsMDB(table, key, ValueOf(rowKey));
        QCOMPARE(tmp.Count(table, key + " = ?", {rowKey}), 0);
        QCOMPARE(messages.Count(), 0);
    }

    void namesOutsideTheSchemaAreRefused_data() {
        QTest::addColumn<QStringList>("call");  // table, column, operator, columns
        QTest::addColumn<QString>("description");
        const QString t = QStringLiteral("t_dnc_servers");
        const QString id = QStringLiteral("dnc_server_id");
        QTest::newRow("table")
            << QStringList{t + "; DROP TABLE t_protocol", id, "=", "*"}
            << "The database has no table \"t_dnc_servers; DROP TABLE t_protocol\"";
        QTest::newRow("column") << QStringList{t, "1=1 OR " + id, "=", "*"}
                                << "The table t_dnc_servers has no column \"1=1 OR dnc_server_id\"";
        QTest::newRow("operator") << QStringList{t, id, "= 1 OR 1 =", "*"}
                                  << "\"= 1 OR 1 =\" is not a comparison this program uses";
        QTest::newRow("column list")
            << QStringList{t, id, "=", "dnc_server_name, sqlite_version()"}
            << "The table t_dnc_servers has no column \"sqlite_version()\"";
    }
    void namesOutsideTheSchemaAreRefused() {
        QFETCH(QStringList, call);
        QFETCH(QString, description);
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(!OpenSelectMDB(call[0], call[1], SqlValue::Number(1), call[2], call[3]).IsOpen());
        QCOMPARE(messages.Texts(),
                 QStringList{ReportText("Error 3#", 3265, 1, description, "Kestrum")});
        QCOMPARE(tmp.Count("t_protocol"), 8);
    }

    void editModesActOnTheFirstRowOnly() {
        TempInstallation tmp;
        if (tmp.OnServer()) {
            QSKIP("the server refuses a second server of the same name");
        }
        MessageRecorder messages;
        const QString servers = QStringLiteral("t_dnc_servers");
        const QString name = QStringLiteral("dnc_server_name");
        for (const char* server : {"A", "B", "A"}) {
            PutServer(tmp, server);
        }
        EditRecordMDB(servers, name, "A", EditMode::Ensure);  // found: no row
        EditRecordMDB(servers, name, "C", EditMode::Ensure);  // added
        EditRecordMDB(servers, name, "A", EditMode::SetField, name, SqlValue::Text("A2"));
        QCOMPARE(tmp.Query("SELECT dnc_server_name FROM t_dnc_servers ORDER BY dnc_server_id"),
                 (QList<QVariantList>{{"A2"}, {"B"}, {"A"}, {"C"}}));
        EditRecordMDB(servers, name, "NONE", EditMode::SetField, name, SqlValue::Text("X"));
        EditRecordByIdMDB(servers, "dnc_server_id", 2, EditMode::Delete);
        EditRecordMDB(servers, name, "NONE", EditMode::Delete);
        QCOMPARE(tmp.Query("SELECT dnc_server_id, dnc_server_name FROM t_dnc_servers"),
                 (QList<QVariantList>{{1, "A2"}, {3, "A"}, {4, "C"}}));
        QCOMPARE(messages.Count(), 0);
    }

    void fieldReaders_data() {
        QTest::addColumn<QVariant>("field");
        QTest::addColumn<bool>("textOk");
        QTest::addColumn<int>("int16");  // -99999: kept
        QTest::addColumn<int>("yesNo");  // -1 kept, else 0 or 1
        QTest::newRow("null") << QVariant(QMetaType::fromType<QString>()) << false << -99999 << -1;
        QTest::newRow("number") << QVariant(qlonglong(9600)) << true << 9600 << 1;
        QTest::newRow("too big") << QVariant(qlonglong(70000)) << true << -99999 << 1;
        QTest::newRow("half even") << QVariant(2.5) << true << 2 << 1;
        QTest::newRow("numeric text") << QVariant(" 12 ") << true << 12 << 1;
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
